#pragma once

// Name and version as the operator sees them (window title, about box).
inline constexpr char g_productName[] = "Norvaplex";
inline constexpr char g_productVersion[] = "1.09 prebuild";

// Where the about box sends the operator for news and for help.
inline constexpr char g_productWebAddress[] = "http://norvaplex.example";
inline constexpr char g_productMailAddress[] = "support@norvaplex.example";
