#pragma once

// UI text indexes of a detection that cannot end as done.
namespace DetectionText {
inline constexpr int UnknownId = 310;   // "Detection failed: no device of the list has the ID %1"
inline constexpr int OtherChip = 311;   // "Detection failed: the chip is %1, the target is %2"
inline constexpr int NoChoice = 312;    // "Detection failed: no device was chosen for the ID %1"
} // namespace DetectionText
