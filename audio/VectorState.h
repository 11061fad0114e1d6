// Code elsewhere in the process (a library's AVX routines) can leave the upper
// halves of the vector registers in use. Until they are cleared, the codec
// libraries, built for plain SSE, pay for keeping them on many instructions:
// on this project's machines each Vorbis encoder's set-up ran three times
// slower after the run had looked up its output names in a hash. Clearing
// them takes one instruction; the calls below sit where codec work begins.
#pragma once

inline void clearUpperVectorState() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // Only where the instruction exists; our own code keeps no values there.
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        asm volatile("vzeroupper" ::: "memory");
#endif
}
