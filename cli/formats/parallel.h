// The compressors' one way of spreading work over threads.
#pragma once

#include <cstddef>
#include <functional>

namespace elvhost {

// Calls fn(index, worker) once for every index in 0..count-1, the indices
// handed out in rising order to up to `workers` threads: worker 0 is the
// calling thread, the others are started here, and a thread that will not
// start leaves its share to the rest. Returns when every thread has been
// joined. An exception thrown by fn stops the handing out of indices; once
// every thread is joined, the first one thrown is rethrown here.
void parallelFor(size_t count, unsigned workers,
                 const std::function<void(size_t index, unsigned worker)> &fn);

} // namespace elvhost
