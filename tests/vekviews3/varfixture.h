// Small variable records for the view tests.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek::testvars {

inline VarRecord var(const char* name, uint32_t type, uint8_t sclass = 1, std::vector<uint32_t> steps = {}) {
    VarRecord v;
    v.name = name;
    v.type = type;
    v.sclass = sclass;
    v.desc.steps = std::move(steps);
    return v;
}

}  // namespace vek::testvars
