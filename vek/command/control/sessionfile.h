// Session and layout files: the working state written as a settings-style
// text file and restored by replaying command lines.
//
// A session holds the loaded program, the source path, the window places,
// the memory windows, the events and the monitors; a layout only the
// window part. Loading replays "load", "path", the event commands and the
// "monit" commands through doblock, so a session file is also readable and
// editable by hand. The windows' part is supplied by whoever owns windows
// (the screen front end); without a screen the main window's rectangle
// comes from the settings file and every other window is "NO".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace vek {

struct Debugger;

struct SessionEntry {
    std::string section, key, value;
};

struct SessionWindows {
    std::string settings;  // settings file that remembers the last files; none: not remembered
    // Tile, the Windows section and (kind 1) the Data section.
    std::function<void(std::vector<SessionEntry>& out, int kind)> save;
    // The arrangement and the windows (kind 1: also the memory windows).
    std::function<void(const platform::Profile& file, int kind)> load;
    std::function<std::string()> extenpath;
};

// The session's lines of the events and monitors, as the file keeps them.
std::vector<std::string> sessionevents(const Debugger& d);
std::vector<std::string> sessionmonitors(const Debugger& d);

// kind 1: session, 0: layout. savesession reports "cannot create file" and
// the path when the file cannot be written; loadsession reports a file
// without a main window entry ("Not a Session file") and changes nothing.
bool savesession(Debugger& d, const std::string& path, int kind, const SessionWindows& w);
bool loadsession(Debugger& d, const std::string& path, int kind, const SessionWindows& w);

// The windows' part without a screen: Vek from [VekWindow] of the
// settings, every other window "NO", no memory windows.
SessionWindows headlesswindows(const std::string& settings);

// Makes the session and layout commands use these files.
void usesessionfiles(Debugger& d, SessionWindows w);

// The name part of a path (after its last '/' or '\') and the directory
// part (before it, without the separator).
void splitsessionpath(const std::string& path, std::string& directory, std::string& name);

}  // namespace vek
