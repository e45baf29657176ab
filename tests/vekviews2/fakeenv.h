// A memory window's world in a map: bytes, writes, instruction lengths.
#pragma once

#include <cstdio>
#include <map>
#include <vector>

#include "vek/views/machinemodel/memwin.h"

struct FakeWorld {
    std::map<uint32_t, uint8_t> bytes;
    std::vector<std::pair<uint32_t, int>> writes;   // address, size
    std::map<uint32_t, int> events;
    std::function<unsigned(uint32_t)> length = [](uint32_t) { return 4u; };
    bool running = false;
    int updates = 0;
    uint32_t pc = 0;

    uint8_t get(uint32_t a) const {
        auto it = bytes.find(a);
        return it == bytes.end() ? 0 : it->second;
    }
    void setlong(uint32_t a, uint32_t v) {
        for (int k = 0; k < 4; ++k) bytes[a + uint32_t(k)] = uint8_t(v >> (24 - 8 * k));
    }
    vek::views::MemEnv env() {
        vek::views::MemEnv e;
        e.peek = [this](uint32_t a) { return get(a); };
        e.put = [this](uint32_t a, uint32_t v, int size) {
            for (int k = 0; k < size; ++k) bytes[a + uint32_t(k)] = uint8_t(v >> (8 * (size - 1 - k)));
            writes.push_back({a, size});
        };
        e.decode = [this](uint32_t a, std::string& text) {
            const unsigned n = length(a);
            char b[32];
            std::snprintf(b, sizeof b, n == 2 ? "se_b 0x%x" : "nop", unsigned(a));
            text = b;
            return n;
        };
        e.eventat = [this](uint32_t a) {
            auto it = events.find(a);
            return it == events.end() ? -1 : it->second;
        };
        e.running = [this] { return running; };
        e.pc = [this] { return pc; };
        e.updated = [this] { ++updates; };
        return e;
    }
};
