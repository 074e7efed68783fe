#pragma once

// Moments of a program's start that the start-up benchmark asks about, in
// the order they come: the entry, the first form begun (the main window's
// object), the first layout read, the first image pack loaded (in the
// updater, its logo), the main window's handles made, the main window shown
// and the first image painted. Each is noted at its first occurrence
// only, on the performance counter, and only when ZELMORIA_STARTUP_MARKS
// names a file: the last moment then writes them all there, one
// "name microseconds" line each. Otherwise marking costs one test of a flag.
enum class TStartupMark { Entry, FirstForm, FirstLayoutRead, FirstImagePackLoaded, MainWindowMade, MainWindowShown, FirstImagePainted };

void MarkStartup(TStartupMark mark) noexcept;
