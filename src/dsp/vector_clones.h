// TAVO_VECTOR_CLONES before a function builds it once for each vector width
// a processor may have (AVX-512, AVX2, the baseline); the widest the running
// processor has is chosen once, as the program starts (an ifunc). The results
// are the same on every path. ThreadSanitizer cannot run that choice, which
// comes before its runtime starts, so its builds take the baseline alone.
#ifndef TAVO_DSP_VECTOR_CLONES_H
#define TAVO_DSP_VECTOR_CLONES_H

#if defined(__SANITIZE_THREAD__)
#define TAVO_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVO_THREAD_SANITIZER 1
#endif
#endif

#ifdef TAVO_THREAD_SANITIZER
#define TAVO_VECTOR_CLONES
#else
#define TAVO_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

#endif  // TAVO_DSP_VECTOR_CLONES_H
