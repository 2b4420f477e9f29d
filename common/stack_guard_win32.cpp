// The canary that -fstack-protector-strong checks, in place of GCC's libssp.
// libssp draws it through a CryptoAPI provider, which is loaded and initialised
// at every start, and on a smashed stack writes to a standard error that a GUI
// program does not have and calls abort(), whose handlers then run on a corrupt
// stack. Here the canary comes from the system's random generator, and a
// smashed one ends the process at once, as Windows' own stack cookies do.

#include <windows.h>

#include <cstdint>

extern "C" {
// Compared by the epilogue of every protected function with the copy its prologue saved.
std::uintptr_t __stack_chk_guard;
[[noreturn]] void __stack_chk_fail();
}

namespace {

using RandomGenerator = BOOLEAN(WINAPI*)(PVOID buffer, ULONG length);

// Not protected itself: it changes the value its own epilogue would compare.
__attribute__((no_stack_protector)) int __cdecl seed_stack_guard()
{
    std::uintptr_t canary = 0;
    // RtlGenRandom (exported as SystemFunction036) reads the system's generator
    // without any cryptographic provider. It is looked up rather than imported,
    // so the launcher imports what it did without stack protection; under Wine
    // those imports have loaded advapi32 already. From System32 only, never the
    // program's folder.
    if (const HMODULE advapi32 = LoadLibraryExW(L"advapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        const auto generate = reinterpret_cast<RandomGenerator>(
            reinterpret_cast<void*>(GetProcAddress(advapi32, "SystemFunction036")));
        if (generate) generate(&canary, sizeof canary);
        FreeLibrary(advapi32);
    }
    // Should the generator be missing or fail, what differs from start to start
    // (the clock, the ids, the stack's randomised address) still keeps the
    // canary from being a constant; mixed into a random value it changes nothing.
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    canary ^= static_cast<std::uintptr_t>(counter.QuadPart) ^
              (static_cast<std::uintptr_t>(GetCurrentProcessId()) << 32) ^ GetCurrentThreadId() ^
              reinterpret_cast<std::uintptr_t>(&counter);
    // A zero lowest byte, the first the canary shows to an overrun from below:
    // a string copy can neither write the canary back whole nor read it out.
    __stack_chk_guard = canary & ~std::uintptr_t{0xff};
    return 0;
}

// The runtime's start-up code calls the .CRT$XI functions first, before the
// C++ initializers, the constructors and wWinMain, outside the loader lock; so
// no protected frame is live when the guard changes, and none runs before.
__attribute__((section(".CRT$XIB"), used)) int(__cdecl* seed_at_start)() = seed_stack_guard;

} // namespace

// The stack-cookie fast fail: the system ends the process with
// STATUS_STACK_BUFFER_OVERRUN and a Windows Error Reporting record, and runs no
// exception handler, atexit function or DLL detach on the corrupt stack.
extern "C" __attribute__((no_stack_protector)) void __stack_chk_fail()
{
    if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE))
        __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
    // Before Windows 8 the interrupt would raise an ordinary exception, which
    // handlers could catch; ending the process directly runs none of them.
    // TerminateProcess may return before the process is gone; this thread never
    // goes back to the smashed frame.
    for (;;) TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
}
