#pragma once

// The application's fixed-pitch font: the message log, the console and the
// hex views all write with it. The main window chooses its family and size
// once at start-up (a font needs the application object).

#include <QFont>

#include <functional>

// The process-wide font object.
QFont &AppFont();

// Whether the font system has exactly the family asked for.
using FontMatcher = std::function<bool(const QFont &)>;

// "Lucida Console" at 11 pixels when the system has it; else
// "LucidaTypewriter" at 10 pixels when it has that; else
// "B&H LucidaTypewriter" at 11 pixels. Always fixed pitch, and a typewriter
// style hint so that a system with none of them substitutes a monospaced face.
void ChooseAppFont(const FontMatcher &isExactMatch = {});
