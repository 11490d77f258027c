#pragma once

// The built-in English UI texts. Indexes 0 to UI_TEXT_BASE_COUNT - 1 are the
// original table; texts added with later features follow it, up to
// UI_TEXT_COUNT - 1 (see AddedTexts.cpp). Every index is translatable the
// same way, by its number in a language file.

// Number of texts in the original table.
inline constexpr int UI_TEXT_BASE_COUNT = 191;

// Number of UI text indexes; valid indexes are 0 to UI_TEXT_COUNT - 1.
inline constexpr int UI_TEXT_COUNT = 390;

// The built-in text as 8-bit (Latin-1) characters; "" for a reserved index or
// an index outside the table.
const char *BuiltinUiText(int index);

// One text added after the original table: its index and English wording.
struct AddedUiText {
    int index;
    const char *text;
};

// The added texts in ascending index order; every index lies in
// UI_TEXT_BASE_COUNT .. UI_TEXT_COUNT - 1.
const AddedUiText *AddedUiTexts(int *count);
