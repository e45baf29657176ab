// The animation link (see amclink.h).
#include "vek/shell/amclink.h"

#include <dlfcn.h>

#include <QMenu>
#include <QMenuBar>

#include "vek/core/support/callbacks.h"
#include "vek/shell/shell.h"

namespace vek::shell {

namespace {

template <typename F>
bool bind(void* library, const char* name, F& into) {
    into = reinterpret_cast<F>(dlsym(library, name));
    return into != nullptr;
}

void onstatus(int32_t running) {
    AmcLink& a = amclink();
    if (running && a.running) a.running();
    if (!running && a.stopped) a.stopped();
}

void onevent(int32_t number) {
    if (amclink().bkptcheck) amclink().bkptcheck(number);
}

}  // namespace

AmcLink& amclink() {
    static AmcLink link;
    return link;
}

bool amcload(MainWindow& frame, const std::string& dir) {
    AmcLink& a = amclink();
    amcunload();
    a = AmcLink{};
    const std::string local = dir.empty() ? std::string() : dir + "/libvekamc.so";
    a.library = local.empty() ? nullptr : dlopen(local.c_str(), RTLD_NOW);
    if (!a.library) a.library = dlopen("libvekamc.so", RTLD_NOW);
    if (!a.library) return false;
    QMenu* menu = frame.menuBar()->addMenu("MODEL LINK");
    menu->setObjectName("MODELLER");
    for (auto [id, text] : {std::pair{9200, "Connect to &Modeller"}, std::pair{9201, "DisConnect from M&odeller"}}) {
        QAction* act = menu->addAction(text);
        act->setData(id);
        QObject::connect(act, &QAction::triggered, &frame, [&frame, id = id] { frame.dispatch(id); });
    }
    a.menu = true;
    bool ok = bind(a.library, "_AMC_Init", a.init) && a.init(nullptr, a.library, &frame) != 0 &&
              bind(a.library, "_AMC_Close", a.close) && bind(a.library, "_AMC_Running", a.running) &&
              bind(a.library, "_AMC_Stopped", a.stopped) && bind(a.library, "_AMC_CommInit", a.comminit) &&
              bind(a.library, "_AMC_BkptCheck", a.bkptcheck);
    if (!ok) {
        // the link is off; the menu stays with commands that do nothing
        dlclose(a.library);
        a = AmcLink{};
        a.menu = true;
        return true;
    }
    RegisterStatusFunction(onstatus);
    RegisterEventFunction(onevent);
    return true;
}

void amcunload() {
    AmcLink& a = amclink();
    if (!a.library) return;
    // (marked: the next firing of the list frees the nodes)
    for (NotifyCallback* n = cblists().status; n; n = n->next)
        if (n->fn == reinterpret_cast<void (*)()>(onstatus)) n->removed = 1;
    for (NotifyCallback* n = cblists().event; n; n = n->next)
        if (n->fn == reinterpret_cast<void (*)()>(onevent)) n->removed = 1;
    dlclose(a.library);
    a = AmcLink{};
}

void amcconnect() {
    AmcLink& a = amclink();
    if (a.connected) return;
    a.connected = a.comminit && a.comminit() != 0;
}

void amcdisconnect() {
    AmcLink& a = amclink();
    if (a.close) a.close();
    a.connected = false;
}

}  // namespace vek::shell
