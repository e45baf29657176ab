/* vekext.h: the interface between vek and its extensions.
 *
 * An extension is a shared library that vek finds in one of the folders
 * IOREGS, INTERRUPTS, ANALYZER, AUTOLOAD, EXTENSIONS, GRAPHICS, KERNELS,
 * PANELS and PPC-EXTENSIONS beside the vek program, or in a directory of the
 * extension path (ExtenPath of section Options of the settings file). It
 * exports the protocol functions below by name; vek exports the functions of
 * the rest of this header, which the extension calls.
 *
 * Conventions: booleans are 1 and 0; lookups return 1 (found) or 0 and write
 * through out-parameters; an optional file name narrows a search to that
 * source file (null: every file); names compare exactly. Lists are one
 * malloc'ed block of NUL-ended names ended by an extra NUL (null when
 * empty), released with free(). Texts vek owns are not freed; static buffers
 * are overwritten by the next call of the same function. Calls from a thread
 * other than vek's own are carried out on vek's thread, and the caller waits.
 *
 * Plain C99 or C++.
 */
#ifndef VEK_VEKEXT_H
#define VEK_VEKEXT_H

#include <stddef.h>
#include <stdint.h>

#define VEK_EXT_ABI 1
/* Buffers that vek fills without being told their size hold this many bytes. */
#define VEK_TEXT_MAX 256

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VEK_EXPORT __attribute__((visibility("default")))
#else
#define VEK_EXPORT
#endif

/* Every extension says which version of this interface it was built with. */
#define VEK_EXTENSION_ABI() \
    VEK_EXPORT int VekExtensionAbi(void) { return VEK_EXT_ABI; }

/* ---- The protocol an extension exports ----
 *   int InitExtension(void* mainwindow, void* program, void* library);   required
 *       non-zero: loaded; zero: the load is undone. mainwindow is null
 *       without a screen; program is dlopen(NULL); library is the extension's
 *       own handle.
 *   int CheckExtension(const char* processor, int exectype);    required ("PPC", 1)
 *   const char* GetExtensionDescription(void);                  required
 *   int GetExtensionLoadType(void);                             required (4: load at start-up)
 *   const char* GetExtensionHelp(void);                         required
 *   const char* GetCommandOptions(void);                        optional
 *   const char* GetCommandName(void);                           optional: the command word
 *   const char* GetExtensionVersion(void);                      optional
 *   void CallExtension(const char* line);                       optional: lines starting with the word
 *   void CloseExtension(void);                                  optional: at exit
 *   const char* ICONDEF[];                                      optional: XPM picture
 */
typedef int (*VekInitExtensionFn)(void* mainwindow, void* program, void* library);

/* ---- Records exchanged by value ---- */
typedef struct VekSectionEntry {
    uint32_t flags;     /* bit 0: attribute bit 7; bit 1: loaded at a second address */
    uint32_t start;
    uint32_t last;      /* start + size - 1 */
    char name[16];      /* NUL-padded */
} VekSectionEntry;

typedef struct VekVarInformation {
    uint32_t size;
    uint32_t type;      /* the type word */
    uint32_t address;
} VekVarInformation;

#ifdef __cplusplus
static_assert(sizeof(VekSectionEntry) == 28, "section entry");
static_assert(sizeof(VekVarInformation) == 12, "variable information");
#else
_Static_assert(sizeof(VekSectionEntry) == 28, "section entry");
_Static_assert(sizeof(VekVarInformation) == 12, "variable information");
#endif

/* ---- Program information ---- */
char* GetFileList(void);
char* GetFunctionList(const char* file);
char* GetFunctionArgs(const char* file, const char* function);
char* GetFunctionDescription(const char* file, const char* function);
int GetFileLineRange(const char* file, uint32_t* first, uint32_t* last);
int GetFunctionStartAddress(const char* function, const char* file, uint32_t* address);
int GetFunctionLineRange(const char* function, const char* file, uint32_t* first, uint32_t* last);
int GetLineAddress(const char* file, uint32_t line, uint32_t* address);
int GetSectionCount(void);
int GetSectionInfo(VekSectionEntry* entries, int count);
int Expression(int mode, const char* text, int* isfloat, uint32_t* integer, double* real);
/* The debugger's own variable record (opaque here). */
void* GetGlobalVariable(const char* name, const char* file);
char* GetVarList(const char* file);
char* GetSizedVarList(const char* file, int size);
char* GetFileVariables(const char* file);
int GetVarAddress(const char* name, const char* file, uint32_t* address);
int GetVarInformation(const char* name, const char* file, VekVarInformation* info);
/* Writes at most VEK_TEXT_MAX bytes. */
int GetEnumValue(const char* name, const char* file, char* text);

/* ---- Target memory (big-endian) and registers ---- */
uint8_t ReadByte(uint32_t address);
uint32_t WriteByte(uint32_t address, uint8_t value);
uint16_t ReadWord(uint32_t address);
void WriteWord(uint32_t address, uint16_t value);
uint32_t ReadLong(uint32_t address);
void WriteLong(uint32_t address, uint32_t value);
void ReadMemory(void* buffer, uint32_t address, uint32_t count);
void WriteMemory(const void* buffer, uint32_t address, uint32_t count);
uint32_t ReadPC(void);
void WritePC(uint32_t value);
int GetRegistersBlockSize(void);
char* GetRegisterList(void);
int GetRegisterCode(const char* name);
int GetRegisterSize(int number);
int GetNamedRegisterSize(const char* name);
uint32_t ReadRegister(int number);
uint32_t ReadNamedRegister(const char* name);
void WriteRegister(int number, uint32_t value);
void WriteNamedRegister(const char* name, uint32_t value);
void SaveRegisters(void* buffer);
void RestoreRegisters(const void* buffer);
uint32_t ReadSavedRegister(const void* block, int number);
uint32_t ReadSavedNamedRegister(const void* block, const char* name);
uint32_t ReadSavedPC(const void* block);

/* ---- Target description ---- */
const char* GetTargetProcessor(void);
int GetExecutionType(void);
int GetTargetAddressSize(void);
int GetTargetIntSize(void);
/* Writes at most VEK_TEXT_MAX bytes; returns the instruction's length. */
int Disassemble(uint32_t address, char* buffer);

/* ---- Commands ---- */
const char* docmd(const char* line, int user);
/* 1, or 0 when the buffer holds an error; at most size - 1 characters and a NUL. */
int ExecVekCommand(const char* line, char* buffer, int size);
int AddEventByCommand(const char* line);
int GetLastBkptNum(void);
void NotifyBkptChanged(void);
int CheckEvent(void);

/* ---- Callbacks: registration returns a handle ---- */
void* RegisterCBFunction(void (*fn)(uint32_t cycles));
void* RegisterCBParamFunction(void (*fn)(uint32_t cycles, uint32_t param), uint32_t param);
void* RegisterLoadFunction(void (*fn)(const char* path, int32_t loaded));
void* RegisterEventFunction(void (*fn)(int32_t number));
void* RegisterResetFunction(void (*fn)(int32_t zero));
void* RegisterStatusFunction(void (*fn)(int32_t running));
void* RegisterSessionFunction(void (*fn)(const char* path, int32_t read));
void* RegisterUpdateFunction(void (*fn)(int32_t what));
void* RegisterMemHook(uint32_t start, uint32_t length, uint32_t mask, uint32_t userdata,
                      void (*fn)(uint32_t address, uint32_t size, uint32_t access, uint32_t userdata));
void UnRegisterCBFunction(void* handle);
void UnRegisterMemHook(void* handle);
void UnRegisterLoadFunction(void);
void UnRegisterEventFunction(void);
void UnRegisterResetFunction(void);
void UnRegisterStatusFunction(void);
void UnRegisterSessionFunction(void);
void UnRegisterUpdateFunction(void);

/* ---- Execution ---- */
void ExecTargetCode(void);
/* Queues "go" on vek's thread and returns; IsTargetRunning is 1 from then on. */
void StartTargetCode(void);
void StepCode(int count);
void StepTargetCode(int count);
void StopExecution(void);
int SetStopFlag(int value);
int GetStopFlag(void);
int IsTargetRunning(void);
uint32_t GetCycleCount(void);
int SetChronology(int value);
void LoadTargetFile(const char* path);

/* ---- Menus, windows, paths and settings ---- */
int AllocateMenuIDs(int count);        /* 0 when the range would pass 65535 */
int AllocateMessageIDs(int count);
int GetFileMenuPosition(void);
int GetEventsMenuPosition(void);
int GetBrowseMenuPosition(void);
int GetDebugMenuPosition(void);
int GetSetupMenuPosition(void);
int GetTargetMenuPosition(void);
int GetShowMenuPosition(void);
int GetWindowsMenuPosition(void);
int GetExtensionsMenuPosition(void);
int GetHelpMenuPosition(void);
int GetMenuPosition(const char* text);
int GetMenuInsertPos(void);
/* Menu ids the frame has no action for go to this function. */
typedef void (*VekMenuCommandFn)(int id);
void RegisterMenuCommandFunction(VekMenuCommandFn fn);
void VekMenuCommand(int id, intptr_t param);
void* GetVekMainWindow(void);
void* GetVekMDIWindow(void);
void* GetVekBtnBarWindow(void);
void* GetVekFontObject(void);
int GetVekTabWidth(void);
uint32_t GetVekColor(int index);
const char* GetINIFileName(void);
const char* GetVekDir(void);
const char* GetVekInstallDir(void);
const char* GetExecName(void);
const char* GetTargetFileName(void);
char* GetVekPath(void);
void SetVekPath(const char* text);
void AddPath(const char* directory);
void AppendToPath(const char* directory);
void PrependToPath(const char* directory);
uint32_t GetVekTextColor(void);
void* GetFunctionPopupMenu(void);
void* GetVariablePopupMenu(void);
int GetExtensionsMenuInsertPos(void);
/* System commands: 0xF020 minimise, 0xF030 maximise, 0xF060 close, 0xF120 restore. */
int SetVekWindow(int command);
int SetVekSubWindow(void* window, int command);
int GetVekWindowsStyle(void);          /* 1 free, 2 cascade, 3 and 4 tiled; 0 none */
void SetVekWindowsStyle(int code);
/* The settings file (GetINIFileName): a read returns the length copied. */
int VekGetProfileString(const char* section, const char* key, const char* fallback, char* buffer, int size);
int VekWriteProfileString(const char* section, const char* key, const char* value);
/* Stand-ins for the menu and tool-bar calls on the handles (0 without a screen). */
int VekInsertMenuItem(void* menu, int position, const char* text, int id);
int AddButtonToBar(void* module, const char* bitmap);
/* Window displays: 1 when the window now shows (0 without a screen). */
int RegistersDisplay(int show);
int AssemblerDisplay(int show);
int CommandDisplay(int show);
int StackDisplay(int show);
void SetAssemblerWindow(int command);
void SetRegistersWindow(int command);
void SetStackWindow(int command);
/* Windows and browsers: null when there is no such window. */
void* CreateSourceBrowser(const char* file);
void* BrowseFile(const char* file, int line);
void* BrowseFunction(const char* function, const char* file, int line);
void* CreateFileBrowser(void);
void* CreateFunctionBrowser(void);
void* CreateMemoryCodeBrowser(const char* title, uint32_t start);
void* CreateMemoryDataBrowser(const char* title, uint32_t start, int perline, int size, int format, int ascii);
void DeleteSourceBrowser(void* window);
void DeleteFileBrowser(void* window);
void DeleteFunctionBrowser(void* window);
void DeleteMemoryBrowser(void* window);
const char* SelectSourceFile(void);
const char* SelectSourceFunction(void);
int GetSourceSelection(int ignored, const char** expression, const char** text);

/* ---- Output capture ---- */
char* WinitFakeIo(void);
void WinSetFakeIo(void);
void WinStopFakeIo(void);

#ifdef __cplusplus
}
#endif

#endif /* VEK_VEKEXT_H */
