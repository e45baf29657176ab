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

/* A parsed location text (AnalyzeString). The names point into a buffer
 * that the next AnalyzeString overwrites. */
typedef struct VekLocationSpec {
    uint8_t isaddress;  /* '@' and an address */
    uint8_t given;      /* anything recognised */
    uint8_t qualified;  /* a ':' separated a file or function from the rest */
    uint8_t spare0;
    uint32_t line;      /* line, or the plain number */
    int32_t column;     /* -1: a line without column */
    int32_t endline;    /* 0: none */
    int32_t endcolumn;  /* -1: an end line without column */
    uint32_t address;
    const char* file;
    const char* function;
    const char* symbol;
    uint32_t spare1;
} VekLocationSpec;

/* ---- Records of the debug information ----
 * Copies that vek makes of its own tables after each load: valid until the
 * next load (frames until the next GetCurrentStack; a symbol's next link as
 * the symbol list stood at the last rensym). The counts and flags that runs change are brought up to
 * date in each record an export hands out, and in all of them by
 * GetFileChain, GetFileInfo and GetDebugList. Extensions read the records
 * and never write them. */
typedef struct VekLineRecord VekLineRecord;
typedef struct VekFunctionRecord VekFunctionRecord;
typedef struct VekFileRecord VekFileRecord;
typedef struct VekVarRecord VekVarRecord;
typedef struct VekAggregate VekAggregate;
typedef struct VekCallFrame VekCallFrame;
typedef struct VekProgramSymbol VekProgramSymbol;

struct VekLineRecord {
    VekLineRecord* next;        /* the address-ordered list */
    VekFunctionRecord* owner;
    const char* function;       /* function name, or null */
    uint32_t descriptor;        /* kind 0x01 records */
    uint8_t kind;               /* 0x01 frame, 0x02 tables, 0x04 exit, 0x08 line, 0x10 end, 0x20 start, 0x40 module */
    uint8_t flags;              /* 0x40: '+' before the line number */
    uint8_t flags2;             /* bit 0: '+' before the end number */
    uint16_t line, column, endline, endcolumn;
    uint32_t hits;
    int32_t cycles;
    uint32_t address;
    const char* text;           /* the file name */
};

struct VekAggregate {
    VekAggregate* next;
    uint16_t count;             /* members */
    uint32_t position;          /* in the ".debug" section */
    uint32_t size;
    const char* tag;            /* or null */
    VekVarRecord* members;      /* count records, then one without a name */
};

struct VekVarRecord {
    VekFunctionRecord* owner;
    uint8_t sclass;             /* storage class */
    uint8_t core;
    int16_t attr;
    uint32_t size;
    uint32_t type;              /* the type word */
    uint32_t value;             /* address, frame offset, register, member offset or enumerator */
    uint32_t value2;
    uint32_t dispaddress;       /* display fields: zero */
    uint8_t lastvalue[8];
    const char* format;
    const char* name;
    const uint32_t* steps;      /* one word per derivation step, outermost first */
    uint32_t nsteps;
    uint32_t bitword;           /* bit-field width and position, or _Bool bit */
    VekAggregate* aggregate;    /* struct, union and enum types */
};

struct VekFunctionRecord {
    VekFunctionRecord* next;    /* the file's functions; the last holds the file scope */
    VekFileRecord* file;
    VekFunctionRecord* link;    /* nameless functions */
    VekLineRecord* start, *frame, *end;
    VekVarRecord* vars;         /* arguments first */
    VekVarRecord* firstlocal;   /* or null */
    VekVarRecord* varsend;
    VekVarRecord* staticpart;   /* the first static variable, or null */
    uint8_t active, activated;
    uint16_t nvars;
    uint16_t nargs;
    uint8_t regarg;
    uint8_t core;
    uint16_t nlocals;
    uint16_t chronocount;
    uint32_t firstline, lastline;
    uint16_t ncallers, ncallees;
    const char* callers;
    const char* callees;
    uint32_t framesize;
    int32_t cycles;             /* cycles spent in the function itself */
    const char* args;           /* argument text */
    const char* returns;        /* return-type text */
    const char* name;           /* "" nameless; "." file scope */
    void* chrono;
    uint32_t calls;
    int32_t total;
    uint32_t minown, maxown, minincl, maxincl;
};

struct VekFileRecord {
    VekFileRecord* next;
    VekFunctionRecord* functions;
    VekLineRecord* attrrecord;  /* or null */
    uint32_t index;
    uint32_t flags;
    uint32_t firstline, lastline;
    uint32_t spare;
    const char* const* defines; /* #define texts */
    uint32_t ndefines;
    const char* name;
    uint8_t kindbyte;
    int32_t core;
};

struct VekCallFrame {
    VekCallFrame* caller;       /* the next outer frame */
    VekFunctionRecord* function;
    VekLineRecord* linerecord;
    uint8_t setup;
    uint8_t locals;
    uint32_t line, column, lastline, endcolumn;
    uint32_t base;
    uint32_t sp;
};

struct VekProgramSymbol {
    VekProgramSymbol* next;
    VekProgramSymbol* link;
    uint32_t value;
    uint8_t section;
    uint8_t flags;
    uint8_t kind;
    const char* name;
};

#ifdef __cplusplus
#define VEK_ASSERT(c, m) static_assert(c, m)
#else
#define VEK_ASSERT(c, m) _Static_assert(c, m)
#endif
VEK_ASSERT(sizeof(VekSectionEntry) == 28, "section entry");
VEK_ASSERT(sizeof(VekVarInformation) == 12, "variable information");
VEK_ASSERT(sizeof(void*) != 8 || sizeof(VekLocationSpec) == 56, "location");
VEK_ASSERT(offsetof(VekLocationSpec, address) == 20, "location address");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekLocationSpec, spare1) == 48, "location spare");
VEK_ASSERT(sizeof(void*) != 8 || sizeof(VekLineRecord) == 64, "line record");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekLineRecord, line) == 32, "line record line");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekLineRecord, address) == 48, "line record address");
VEK_ASSERT(sizeof(void*) != 8 || sizeof(VekVarRecord) == 80, "variable record");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekVarRecord, value) == 20, "variable value");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekVarRecord, name) == 48, "variable name");
VEK_ASSERT(sizeof(void*) != 8 || sizeof(VekAggregate) == 40, "aggregate");
VEK_ASSERT(sizeof(void*) != 8 || sizeof(VekFunctionRecord) == 184, "function record");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekFunctionRecord, firstline) == 92, "function lines");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekFunctionRecord, name) == 144, "function name");
VEK_ASSERT(sizeof(void*) != 8 || sizeof(VekFileRecord) == 80, "file record");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekFileRecord, name) == 64, "file name");
VEK_ASSERT(sizeof(void*) != 8 || sizeof(VekCallFrame) == 56, "call frame");
VEK_ASSERT(sizeof(void*) != 8 || offsetof(VekCallFrame, base) == 44, "frame base");
VEK_ASSERT(sizeof(void*) != 8 || sizeof(VekProgramSymbol) == 32, "symbol");
#undef VEK_ASSERT

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
VekVarRecord* GetGlobalVariable(const char* name, const char* file);
char* GetVarList(const char* file);
char* GetSizedVarList(const char* file, int size);
char* GetFileVariables(const char* file);
int GetVarAddress(const char* name, const char* file, uint32_t* address);
int GetVarInformation(const char* name, const char* file, VekVarInformation* info);
/* Writes at most VEK_TEXT_MAX bytes. */
int GetEnumValue(const char* name, const char* file, char* text);
int GetFunctionAddressRange(const char* function, const char* file, uint32_t* start, uint32_t* end);
int GetLabelAddress(const char* function, const char* file, const char* label, uint32_t* address);
/* Fills spec; returns the text after the location. */
const char* AnalyzeString(const char* text, VekLocationSpec* spec);
VekFileRecord* GetFileChain(void);
VekFileRecord* GetFileInfo(const char* file);
VekFunctionRecord* GetFunctionInfo(const char* function, const char* file);
VekLineRecord* GetDebugList(void);
/* The line or function-start record covering the address. */
VekLineRecord* GetDebugSymbol(uint32_t address);
/* The statement record exactly at the address. */
VekLineRecord* CheckDebugSymbol(uint32_t address);
/* The line (start) record among the records at the same address. */
VekLineRecord* GetLineDebugSymbol(const VekLineRecord* record);
VekLineRecord* GetStartDebugSymbol(const VekLineRecord* record);
VekLineRecord* GetLineMatch(const VekFileRecord* file, uint32_t line);
/* The innermost frame, or null. */
VekCallFrame* GetCurrentStack(void);
/* The C declaration (a static buffer); null for a record vek did not give. */
const char* GetVariableDescription(const VekVarRecord* var);
uint32_t GetVariableSize(const VekVarRecord* var);
int GetXrefsFlag(void);
VekProgramSymbol* rensym(const char* name);
/* Expression values (opaque): xexpr evaluates at *cursor and moves it past
 * the expression; the value is released with xfree. putresult prints it in
 * a display format letter (d u o x h b c C s S; 0 the default). */
void* xexpr(const char** cursor, int* error, int mode);
void xfree(void* value);
int putresult(const void* value, int letter);
/* "file:line", with flag " | " and the source line; without the flag only
 * the line (name:line when it is missing). A static text of at most 511
 * characters. */
const char* GetSrcLine(const char* file, uint32_t line, int flag);
/* Fill a combo box (a QComboBox found by id among the dialog's children, its
 * object name the number) with file, function or variable names. */
void BrowserListFiles(void* dialog, int combo, int flag);
void BrowserListFuncs(void* dialog, int combo, const char* file);
void BrowserListVars(void* dialog, int combo, const char* file);

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

/* ---- Interrupts, events and runs ---- */
/* Marks the interrupt of vector id -4 * (k + 1) (k 0 to 127) pending; non-zero when the id names one. */
int TGTRaiseInterrupt(int32_t id);
int RaiseInterrupt(int32_t id);
/* Reads an interrupt list file: the number of entries, -1 when it cannot be read (reported). */
int LoadInterrupts(const char* path);
int ShowInterrupts(void);              /* the interrupt dialog (0 without a screen) */
int rmevent(int number, int user);     /* -1: every event */
void AnimateTargetCode(void);          /* one animated "step" */
/* Lets the windows work; returns the stop flag (1 when the user asked to stop). */
int CheckForStop(void);

/* ---- Status bar, cursor, boxes and printing ---- */
void LeftStatus(const char* text);
void MiddleStatus(const char* text);
void RightStatus(const char* text);
void LastStatus(const char* text);
void WinStatGauge(int on, uint32_t total);
void WinStatGaugeAdd(uint32_t n);
/* Both return the cursor shown before: 1 the wait cursor, 0 the arrow. */
int CursorWait(void);
int CursorStd(void);
/* Text pieces ended by a null pointer: 0 for the first button, 1 for the second or for closing. */
int MyMultMessShow(void* owner, int icon, int second, const char* caption, ...);
/* The binding of F1 to F12 (keys 112 to 123) as a menu command: its result, 0 when unbound. */
int FunctionKey(int key);
/* Prints the lines that lines gives (first is 1 on the first call; null ends); 0 when cancelled. */
int VekPrintFile(const char* title, const char* (*lines)(int first, void* arg, void* user), void* arg, void* user);
intptr_t MemHookProc(void* dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);

/* ---- More windows (0 without a screen) ---- */
int MDIUpdate(void);
int VekCodeMemUpdate(int flag);
int VekDataMemUpdate(int flag);
void UpdateCodeMemoryWindows(void);
void UpdateDataMemoryWindows(void);
int ApplicationTreeDisplay(int show);
int EditVekPath(void);

/* ---- Output capture ---- */
char* WinitFakeIo(void);
void WinSetFakeIo(void);
void WinStopFakeIo(void);

#ifdef __cplusplus
}
#endif

#endif /* VEK_VEKEXT_H */
