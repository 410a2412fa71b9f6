// JSON from the network, read in two steps. Opening a document indexes it
// lazily, so one field (a command's name) can be read without decoding the
// rest: a command nobody reads costs one pass over its bytes and builds
// nothing. A document a caller means to read is then checked: its depth and
// width are measured against the limits in one pass that stops at the first
// bound crossed, and it is validated whole into a flat tape, so every later
// look-up is exact and safe. Every look-up keeps the value's type (a number
// is never a text).
//
// A reader holds one document at a time; it belongs to one thread.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace util {

struct JsonLimits {
    std::size_t maxBytes = 1u << 20;
    int maxDepth = 64;
    // Values in arrays and fields in objects, all levels together.
    std::size_t maxElements = 100'000;
};

// Malformed: a string left open, or brackets that do not pair up.
enum class JsonShape { Ok, TooLarge, TooDeep, TooWide, Malformed };

// How a text measures against `limits`, found by one pass over its bytes that
// stops at the first bound crossed. Brackets inside strings do not count.
JsonShape measureJson(std::string_view text, const JsonLimits& limits);

// One value of a checked document.
using JsonValue = simdjson::simdjson_result<simdjson::dom::element>;

// Typed reads of one value: nothing when it is absent or of another type.
std::optional<std::string> jsonText(JsonValue value);
std::optional<std::int64_t> jsonInteger(JsonValue value);
std::optional<bool> jsonBool(JsonValue value);

class JsonReader {
  public:
    explicit JsonReader(JsonLimits limits = {});
    JsonReader(const JsonReader&) = delete;
    JsonReader& operator=(const JsonReader&) = delete;

    // Indexes `text` (copied). False when it is over the byte limit, is not
    // UTF-8 or does not start a JSON document.
    bool open(std::string_view text);

    // Measures the open document and, within the limits, validates it whole
    // (Malformed when it is not JSON). Once it is Ok, look-ups read the
    // validated document; before, they read the lazy index, where a fault
    // past the field asked for goes unseen.
    JsonShape check();

    // True when the open document is an object.
    bool isObject();

    // Look-ups by JSON pointer ("/data/uname", "/info/2/1") from the top of
    // the document, in any order. Nothing when absent or of another type.
    std::optional<std::string> text(std::string_view pointer);
    std::optional<std::int64_t> integer(std::string_view pointer);
    std::optional<bool> boolean(std::string_view pointer);
    bool has(std::string_view pointer);

    // Calls `visit` for the elements of the array at `pointer` of a checked
    // document, at most `limit` of them; `visit` returns false to stop. False
    // when the document is not checked or there is no array there.
    bool forEach(std::string_view pointer, std::size_t limit, const std::function<bool(JsonValue)>& visit);

  private:
    // The lazy index's value at `pointer`, or an error once the index has
    // given the document up (see json_reader.cpp).
    simdjson::simdjson_result<simdjson::ondemand::value> lazy(std::string_view pointer);
    JsonValue checked(std::string_view pointer);

    JsonLimits limits_;
    simdjson::ondemand::parser lazyParser_;
    simdjson::dom::parser parser_;
    std::string buffer_;
    std::size_t size_ = 0;
    simdjson::ondemand::document document_;
    simdjson::dom::element root_;
    bool open_ = false;
    bool checked_ = false;
};

}  // namespace util
