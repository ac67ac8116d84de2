#pragma once
// Replays the inputs that fuzzing found (tests/data/fuzz/<target>/) through
// the fuzz target's own code, compiled into the suite by zep3_add_fuzz_replay.
#include "FuzzSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <dirent.h>
#include <string>
#include <vector>

// Declares the entry of fuzz/<target>.cpp under its replay name.
#define ZEP3_FUZZ_ENTRY(target) extern "C" int zep3fuzz_##target(const uint8_t* data, size_t size)

namespace zep3test {

// Runs every kept input of `target`; each must end without a broken property
// (and, under the sanitizers, without a report). Returns how many ran.
inline int replayFuzzInputs(const std::string& target, int (*entry)(const uint8_t*, size_t)) {
    const std::string folder = dataFile("fuzz/" + target);
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string bytes = readFile(folder + "/" + name);
        try {
            entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        } catch (const std::exception& e) {
            ADD_FAILURE() << target << "/" << name << ": " << e.what();
        }
    }
    return static_cast<int>(names.size());
}

} // namespace zep3test
