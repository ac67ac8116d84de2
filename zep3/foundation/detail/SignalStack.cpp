#include <zep3/foundation/detail/CrashSupport.h>

#include <csignal>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zep3::detail {
namespace {

// Room for the report: formatting, the register block and the walks.
const size_t kAltStackSize = 128 * 1024;

struct AltStack {
    char* memory = nullptr; // a guard page, then the stack
    size_t size = 0;
    ~AltStack() {
        if (!memory) return;
        stack_t current;
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory + size - kAltStackSize) {
            stack_t off = {};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
        }
        munmap(memory, size);
    }
};

thread_local AltStack tlsAltStack;

} // namespace

void EnsureAltSignalStack() {
    if (tlsAltStack.memory) return;
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return; // one is set already
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t size = kAltStackSize + page;
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) return;
    mprotect(memory, page, PROT_NONE);
    stack_t stack = {};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = kAltStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, size);
        return;
    }
    tlsAltStack.memory = static_cast<char*>(memory);
    tlsAltStack.size = size;
}

unsigned int RawThreadId() { return static_cast<unsigned int>(syscall(SYS_gettid)); }

} // namespace zep3::detail
