// CString's common constructions against std::string doing the same with
// texts of the same lengths: from a pointer and a length (a database field),
// from a zero-terminated text, by assignment, by concatenation and by Mid.
// The texts are 0 to 47 bytes long, so some fit a short-text buffer and some
// need an allocation, as fields and names do.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <string>
#include <vector>

namespace {

const int kTexts = 4096;

struct Texts {
    std::vector<std::string> owned;
    std::vector<const char*> data;
    std::vector<int> lengths;
    std::vector<CString> asCString;
    Texts() {
        for (int i = 0; i < kTexts; ++i) {
            owned.push_back(std::string(size_t(i * 7 % 48), char('a' + i % 26)));
            asCString.emplace_back(owned.back().c_str());
        }
        for (const std::string& s : owned) {
            data.push_back(s.c_str());
            lengths.push_back(static_cast<int>(s.size()));
        }
    }
};

const Texts& Get() {
    static Texts texts;
    return texts;
}

// Runs make(i) for every text once per iteration; what it makes is kept
// alive until the next one, as a caller's variable would be.
template <class Make>
void EveryText(benchmark::State& state, Make make) {
    for (auto _ : state)
        for (int i = 0; i < kTexts; ++i) {
            auto made = make(i);
            benchmark::DoNotOptimize(made);
        }
    state.SetItemsProcessed(state.iterations() * kTexts);
}

void FromPointerAndLength(benchmark::State& s) {
    const Texts& t = Get();
    EveryText(s, [&](int i) { return CString(t.data[i], t.lengths[i]); });
}
void StdFromPointerAndLength(benchmark::State& s) {
    const Texts& t = Get();
    EveryText(s, [&](int i) { return std::string(t.data[i], size_t(t.lengths[i])); });
}

void FromText(benchmark::State& s) {
    const Texts& t = Get();
    EveryText(s, [&](int i) { return CString(t.data[i]); });
}
void StdFromText(benchmark::State& s) {
    const Texts& t = Get();
    EveryText(s, [&](int i) { return std::string(t.data[i]); });
}

// One variable assigned every text in turn: it keeps its room.
void Assign(benchmark::State& s) {
    const Texts& t = Get();
    CString target;
    EveryText(s, [&](int i) {
        target = t.data[i];
        return target.GetLength();
    });
}
void StdAssign(benchmark::State& s) {
    const Texts& t = Get();
    std::string target;
    EveryText(s, [&](int i) {
        target = t.data[i];
        return target.size();
    });
}

void Concatenate(benchmark::State& s) {
    const Texts& t = Get();
    EveryText(s, [&](int i) { return t.asCString[i] + t.asCString[(i + 1) % kTexts]; });
}
void StdConcatenate(benchmark::State& s) {
    const Texts& t = Get();
    EveryText(s, [&](int i) { return t.owned[i] + t.owned[(i + 1) % kTexts]; });
}

void Mid(benchmark::State& s) {
    const Texts& t = Get();
    EveryText(s, [&](int i) { return t.asCString[i].Mid(1, 30); });
}
void StdSubstr(benchmark::State& s) {
    const Texts& t = Get();
    EveryText(s, [&](int i) { return t.lengths[i] < 1 ? std::string() : t.owned[i].substr(1, 30); });
}

} // namespace

int main(int argc, char** argv) {
    benchsupport::RunPairs(argc, argv,
                           {{"CString(const char*, int) 4096 texts", FromPointerAndLength,
                             "std::string(const char*, size_t)", StdFromPointerAndLength},
                            {"CString(const char*) 4096 texts", FromText, "std::string(const char*)", StdFromText},
                            {"CString = const char* 4096 texts", Assign, "std::string = const char*", StdAssign},
                            {"CString + CString 4096 texts", Concatenate, "std::string + std::string",
                             StdConcatenate},
                            {"CString::Mid(1, 30) 4096 texts", Mid, "std::string::substr(1, 30)", StdSubstr}});
    return 0;
}
