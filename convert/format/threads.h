// Whether this build has threads. A host without them (MinGW's win32
// thread model, a WebAssembly module without pthreads, or a build with
// QUARLEN_NO_THREADS set) converts on the caller's thread alone.
#pragma once

namespace quarlen {

#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS) && !defined(QUARLEN_NO_THREADS)
#define QUARLEN_NO_THREADS 1
#endif

}  // namespace quarlen
