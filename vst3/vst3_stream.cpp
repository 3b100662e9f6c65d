#include "vst3/vst3_stream.h"

int ReadStream(vst3::IBStream* stream, void* buffer, int bytes) {
    if (!stream || !buffer || bytes <= 0) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    int done = 0;
    while (done < bytes) {
        std::int32_t got = 0;
        if (stream->read(out + done, bytes - done, &got) != vst3::kResultOk) break;
        // A stream that says it read more than was asked is broken: keep
        // what fits, and stop.
        if (got <= 0 || got > bytes - done) break;
        done += got;
    }
    return done;
}

bool WriteStream(vst3::IBStream* stream, const void* buffer, int bytes) {
    if (!stream || (!buffer && bytes > 0)) return false;
    auto* in = static_cast<unsigned char*>(const_cast<void*>(buffer));  // the interface's pointer is not const
    int done = 0;
    while (done < bytes) {
        std::int32_t wrote = 0;
        if (stream->write(in + done, bytes - done, &wrote) != vst3::kResultOk || wrote <= 0 || wrote > bytes - done)
            return false;
        done += wrote;
    }
    return true;
}
