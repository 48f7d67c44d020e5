#include "record/RecordUrl.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

namespace otp {
namespace {

constexpr const char* kHidden = "***";

bool IsSecretKey(const std::string& key) { return key == "password" || key == "sslpassword"; }

// libpq's reading of a connection string, freed when it goes.
struct Options {
    explicit Options(const std::string& url) {
        char* error = nullptr;
        options = PQconninfoParse(url.c_str(), &error);
        if (error) PQfreemem(error);
    }
    ~Options() {
        if (options) PQconninfoFree(options);
    }
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    // Every secret's value, as libpq reads it (percent-decoded, unquoted).
    std::vector<std::string> Secrets() const {
        std::vector<std::string> secrets;
        for (const PQconninfoOption* o = options; o && o->keyword; ++o)
            if (IsSecretKey(o->keyword) && o->val && *o->val) secrets.push_back(o->val);
        return secrets;
    }
    PQconninfoOption* options;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// A stretch of the written URL that holds a secret's value.
struct Span {
    size_t at, length;
};

// The secrets' values in a URI (postgresql://, postgres://), found as
// libpq finds them: the credentials end at the first '@' before any '/';
// the password follows the user's first ':'; the query begins at the first
// '?' after the credentials, its parameters split by '&', keys decoded.
std::vector<Span> UriSecrets(const std::string& url, size_t start) {
    std::vector<Span> spans;
    const size_t end = url.find_first_of("@/", start);
    size_t rest = start;
    if (end != std::string::npos && url[end] == '@') {
        const size_t colon = url.find(':', start);
        if (colon < end && end > colon + 1) spans.push_back({colon + 1, end - colon - 1});
        rest = end + 1;
    }
    const size_t query = url.find('?', rest);
    if (query == std::string::npos) return spans;
    for (size_t p = query + 1; p <= url.size();) {
        size_t amp = url.find('&', p);
        if (amp == std::string::npos) amp = url.size();
        const size_t eq = url.find('=', p);
        if (eq < amp && IsSecretKey(PercentDecoded(url.substr(p, eq - p))) && amp > eq + 1)
            spans.push_back({eq + 1, amp - eq - 1});
        p = amp + 1;
    }
    return spans;
}

// The secrets' values in libpq's keyword form (key = value, a value in
// single quotes where it holds blanks, backslash escapes), read as libpq
// reads it.
std::vector<Span> KeywordSecrets(const std::string& url) {
    std::vector<Span> spans;
    const auto blank = [&](size_t i) { return i < url.size() && std::isspace(static_cast<unsigned char>(url[i])); };
    size_t i = 0;
    while (i < url.size()) {
        while (blank(i)) ++i;
        if (i >= url.size()) break;
        const size_t keyAt = i;
        while (i < url.size() && url[i] != '=' && !blank(i)) ++i;
        const std::string key = url.substr(keyAt, i - keyAt);
        while (blank(i)) ++i;
        if (i >= url.size() || url[i] != '=') break;  // libpq does not read it: the caller sees that
        ++i;
        while (blank(i)) ++i;
        const size_t valueAt = i;
        if (i < url.size() && url[i] == '\'') {
            for (++i; i < url.size() && url[i] != '\''; ++i)
                if (url[i] == '\\') ++i;
            if (i < url.size()) ++i;
        } else {
            for (; i < url.size() && !blank(i); ++i)
                if (url[i] == '\\') ++i;
        }
        i = std::min(i, url.size());
        if (IsSecretKey(key) && i > valueAt) spans.push_back({valueAt, i - valueAt});
    }
    return spans;
}

// The URL shown, and the secrets as they were written in it.
struct Masked {
    bool reads = false;
    std::string shown;
    std::vector<std::string> written;  // the secrets' values as the URL spells them
    std::vector<std::string> values;   // as libpq reads them
};

Masked Mask(const std::string& url) {
    Masked masked;
    const Options read(url);
    if (!read.options) {
        masked.shown = kUnreadableRecordUrl;
        return masked;
    }
    masked.values = read.Secrets();
    size_t scheme = std::string::npos;
    for (const char* prefix : {"postgresql://", "postgres://"})
        if (url.rfind(prefix, 0) == 0) scheme = std::char_traits<char>::length(prefix);
    // A password with an '@' or a '/' not written %40 or %2F puts the rest
    // of it where libpq reads a host or a database: that URL names neither
    // what was meant nor anything that may be shown.
    if (scheme != std::string::npos) {
        const size_t slash = url.find('/', scheme);
        const size_t at = url.find('@', scheme);
        const size_t query = url.find('?', scheme);
        const size_t afterCredentials = at < slash ? at + 1 : scheme;
        const size_t nextAt = url.find('@', afterCredentials);
        if (nextAt != std::string::npos && nextAt < query) {
            masked.shown = kUnreadableRecordUrl;
            return masked;
        }
    }
    const std::vector<Span> spans = scheme != std::string::npos ? UriSecrets(url, scheme) : KeywordSecrets(url);
    masked.shown = url;
    for (auto s = spans.rbegin(); s != spans.rend(); ++s) {
        masked.written.push_back(url.substr(s->at, s->length));
        masked.shown.replace(s->at, s->length, kHidden);
    }
    // What is shown must read as a URL whose every secret is hidden: a
    // secret this reading missed leaves nothing of the URL to show.
    const Options check(masked.shown);
    bool hidden = check.options && check.Secrets().size() == masked.values.size();
    for (const std::string& secret : check.Secrets()) hidden = hidden && secret == kHidden;
    masked.reads = hidden;
    if (!hidden) masked.shown = kUnreadableRecordUrl;
    return masked;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
    if (what.empty()) return;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + with.size()))
        text.replace(p, what.size(), with);
}

}  // namespace

bool RecordUrlReads(const std::string& url) { return Mask(url).reads; }

std::string ShownRecordUrl(const std::string& url) { return Mask(url).shown; }

std::string WithoutSecrets(const std::string& text, const std::string& url) {
    const Masked masked = Mask(url);
    std::string scrubbed = text;
    ReplaceAll(scrubbed, url, masked.shown);
    for (const std::string& secret : masked.written) ReplaceAll(scrubbed, secret, kHidden);
    for (const std::string& secret : masked.values) ReplaceAll(scrubbed, secret, kHidden);
    return scrubbed;
}

}  // namespace otp
