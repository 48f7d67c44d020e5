#pragma once
#include "config/WriterState.h"
#include "link/WriterCommands.h"

namespace otp {

// Whether the last block read brought the whole of a request of `total`
// bytes: its last chunk is the one ReplyLength counts.
inline bool BlockReadComplete(const WriterState& s, int total) {
    if (total <= 0) return true;
    return s.ReplyLength == (total % kBlockChunk == 0 ? kBlockChunk : total % kBlockChunk);
}

}  // namespace otp
