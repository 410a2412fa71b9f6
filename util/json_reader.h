// JSON from the network, read lazily: a document is indexed once and only the
// fields a caller asks for are decoded, so a command nobody reads costs one
// pass over its bytes and builds nothing. Every look-up keeps the value's type
// (a number is never a text), and a document is refused when it is larger,
// deeper or wider than the limits, before any caller walks it.
//
// A reader holds one document at a time; it belongs to one thread.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace util {

struct JsonLimits {
    std::size_t maxBytes = 16u << 20;
    int maxDepth = 64;
    // Values in arrays and fields in objects, all levels together.
    std::size_t maxElements = 100'000;
};

// Malformed: a string left open, or brackets that do not pair up.
enum class JsonShape { Ok, TooLarge, TooDeep, TooWide, Malformed };

// How a text measures against `limits`, found by one pass over its bytes that
// stops at the first bound crossed. Brackets inside strings do not count. The
// lazy reader checks only what it reads, so this is also where a document cut
// short or with stray closers is told apart.
JsonShape measureJson(std::string_view text, const JsonLimits& limits);

using JsonValue = simdjson::simdjson_result<simdjson::ondemand::value>;

// Typed reads of one value: nothing when it is absent or of another type.
// Texts are copied out: the reader reuses its buffer for the next look-up.
std::optional<std::string> jsonText(JsonValue value);
std::optional<std::int64_t> jsonInteger(JsonValue value);
std::optional<bool> jsonBool(JsonValue value);

class JsonReader {
  public:
    explicit JsonReader(JsonLimits limits = {});
    JsonReader(const JsonReader&) = delete;
    JsonReader& operator=(const JsonReader&) = delete;

    // Indexes `text` (copied). False when it is over the byte limit, is not
    // UTF-8 or does not start a JSON document. The shape is not checked here,
    // so a caller can look at one field (a command's name) before paying for
    // the check.
    bool open(std::string_view text);

    // The open document's shape (see measureJson).
    JsonShape shape() const;

    // True when the open document is an object, closed where it should be.
    bool isObject();

    // Look-ups by JSON pointer ("/data/uname", "/info/2/1") from the top of
    // the document, in any order. Nothing when absent or of another type.
    std::optional<std::string> text(std::string_view pointer);
    std::optional<std::int64_t> integer(std::string_view pointer);
    std::optional<bool> boolean(std::string_view pointer);
    bool has(std::string_view pointer);

    // Calls `visit(JsonValue)` for the elements of the array at `pointer`, at
    // most `limit` of them; `visit` returns false to stop early. Within
    // `visit`, fields of an element's object may be read in any order
    // (value["key"]), but each element only while it is the current one.
    // False when there is no array there.
    template <typename Visit>
    bool forEach(std::string_view pointer, std::size_t limit, Visit&& visit);

    // The document itself, for reads the helpers above do not cover. Any
    // look-up through the helpers rewinds it.
    simdjson::ondemand::document& document() { return document_; }

  private:
    JsonValue at(std::string_view pointer);

    JsonLimits limits_;
    simdjson::ondemand::parser parser_;
    std::string buffer_;
    std::size_t size_ = 0;
    simdjson::ondemand::document document_;
    bool open_ = false;
};

template <typename Visit>
bool JsonReader::forEach(std::string_view pointer, std::size_t limit, Visit&& visit) {
    simdjson::ondemand::array array;
    if (at(pointer).get_array().get(array) != simdjson::SUCCESS) {
        return false;
    }
    std::size_t seen = 0;
    for (auto element : array) {
        if (seen++ == limit || element.error() != simdjson::SUCCESS || !visit(JsonValue(element))) {
            break;
        }
    }
    return true;
}

}  // namespace util
