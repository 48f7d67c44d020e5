#pragma once
// The way to the shared record server: a report names it by a URL, and the
// program that builds the report hands in the reader that knows the server.
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "production/ProductionJob.h"

namespace otp {

struct RecordReader {
    // Appends the records at `url` from `from` on and before `to` (seconds
    // since 1970; 0: an open end) to `rows`; false with `error` saying why
    // when they could not be read.
    std::function<bool(const std::string& url, std::time_t from, std::time_t to, std::vector<ChipRecord>& rows,
                       std::string& error)>
        read;
    // The URL as messages may show it: its password hidden.
    std::function<std::string(const std::string& url)> shown;
    // Puts the order of every job the server at `url` holds into `orders`,
    // by the job's id; false with `error`. May be empty: no orders are known.
    std::function<bool(const std::string& url, std::map<std::string, OrderCount>& orders, std::string& error)> orders{};
};

// `url` as `reader` shows it; without a way to show it, no part of it.
inline std::string ShownUrl(const RecordReader& reader, const std::string& url) {
    return reader.shown ? reader.shown(url) : "the record server";
}

}  // namespace otp
