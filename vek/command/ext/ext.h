// The extension manager: libraries that the debugger finds in its program
// folders and on the extension path, probes for the extension protocol and
// loads, at start-up (load type 4) or on request. A loaded extension may own
// a command word: command lines starting with it go to the extension before
// the command table is searched.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dll.h"
#include "vek/command/control/control.h"

namespace vek {

using ExtCallFn = void (*)(const char* line);
using ExtCloseFn = void (*)();

struct ExtensionDescriptor {
    bool frompath = false;           // found on the extension path
    std::string path;                // as found
    std::string realpath;            // symbolic links resolved
    std::string description, help;
    std::string version;             // empty: none ("Unknown")
    std::string word;                // command word, or empty
    std::string options;             // command options, or empty
    std::vector<std::string> icon;   // the "ICONDEF" picture (XPM lines), or empty
    ExtCallFn call = nullptr;        // set when loaded with a command word
};

struct LoadedExtension {
    std::shared_ptr<ExtensionDescriptor> desc;
    std::vector<std::string> calls;  // command lines handed to it, in order
    bool autoload = false;
    ExtCloseFn close = nullptr;
    platform::Library lib;
};

struct Extensions {
    Debugger* d = nullptr;
    void* mainwindow = nullptr;      // the frame window, null without a screen
    std::string extenpath;           // '|'-separated directories
    std::vector<std::shared_ptr<ExtensionDescriptor>> available;  // newest first
    std::vector<std::unique_ptr<LoadedExtension>> loaded;         // newest first
    std::vector<std::string> probed; // real paths already probed
    // Status bar part 0 (the shell sets it; headless it stays silent).
    void (*status)(const std::string& text) = nullptr;
};

// The extension state of the program; resetextensions forgets every
// extension (without closing them) and binds the debugger.
Extensions& extensions();
void resetextensions(Debugger* d);

// The program folders, searched in this order under the program directory.
const std::vector<std::string>& extfolders();
void scanextfolder(const std::string& folder);
void scanextpath();
// Every program folder, then the extension path.
void scanextensions();
void probeext(const std::string& directory, const std::string& name, bool frompath);
bool loadext(const std::shared_ptr<ExtensionDescriptor>& desc, bool autoload);
int extcmd(Cursor line);
int isextcmd(const char* word);
void closeextensions();
// Close Extension: calls CloseExtension and forgets the record (the
// library stays loaded). False when it was loaded at start-up or has no
// CloseExtension.
bool closeextension(LoadedExtension* ext);

// An XPM picture: "width height colours chars" then the colour lines and
// the rows. Copied only when its header is sane (else empty).
std::vector<std::string> copyxpm(const char* const* xpm);

// The entries of a '|'-separated path list, empty ones left out.
std::vector<std::string> pathentries(const std::string& path);

// The extension protocol's version that this debugger serves.
constexpr int ExtensionAbi = 1;

}  // namespace vek
