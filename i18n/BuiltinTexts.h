#pragma once

// The built-in English UI texts, indexed 0 to UI_TEXT_COUNT - 1.

// Number of UI text indexes; valid indexes are 0 to UI_TEXT_COUNT - 1.
inline constexpr int UI_TEXT_COUNT = 191;

// The built-in text as 8-bit (Latin-1) characters; "" for a reserved index or
// an index outside the table.
const char *BuiltinUiText(int index);
