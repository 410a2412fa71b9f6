#include "util/json_reader.h"

namespace util {

namespace {

// A reader that once held a large document gives the memory back before it
// takes a small one, so one hostile message does not stay resident.
constexpr std::size_t kKeepCapacity = 1u << 20;

// On a fatal error (a missing colon, say) the lazy reader gives its document
// up, and rewinding one given up dereferences nothing; this asks first. The
// iterator is a protected member, reached through a derived class.
struct Liveness : simdjson::ondemand::document {
    static bool alive(const simdjson::ondemand::document& document) {
        return (document.*(&Liveness::iter)).is_alive();
    }
};

}  // namespace

JsonShape measureJson(std::string_view text, const JsonLimits& limits) {
    if (text.size() > limits.maxBytes) {
        return JsonShape::TooLarge;
    }
    int depth = 0;
    std::size_t elements = 0;
    bool inString = false;
    bool escaped = false;
    bool empty = true;  // nothing yet in the innermost open container
    for (char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        switch (c) {
            case '"':
                inString = true;
                [[fallthrough]];
            default:
                if (empty && depth > 0 && c != ' ' && c != '\n' && c != '\r' && c != '\t') {
                    empty = false;
                    if (++elements > limits.maxElements) {
                        return JsonShape::TooWide;
                    }
                }
                break;
            case ',':
                if (++elements > limits.maxElements) {
                    return JsonShape::TooWide;
                }
                break;
            case '[':
            case '{':
                if (empty && depth > 0 && ++elements > limits.maxElements) {
                    return JsonShape::TooWide;
                }
                if (++depth > limits.maxDepth) {
                    return JsonShape::TooDeep;
                }
                empty = true;
                break;
            case ']':
            case '}':
                if (depth-- == 0) {
                    return JsonShape::Malformed;
                }
                empty = false;
                break;
        }
    }
    return inString || depth != 0 ? JsonShape::Malformed : JsonShape::Ok;
}

std::optional<std::string> jsonText(JsonValue value) {
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return std::string(text);
}

std::optional<std::int64_t> jsonInteger(JsonValue value) {
    std::int64_t number = 0;
    if (value.get_int64().get(number) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return number;
}

std::optional<bool> jsonBool(JsonValue value) {
    bool flag = false;
    if (value.get_bool().get(flag) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return flag;
}

JsonReader::JsonReader(JsonLimits limits) : limits_(limits) {}

bool JsonReader::open(std::string_view text) {
    open_ = checked_ = false;
    size_ = 0;
    if (text.size() > limits_.maxBytes) {
        return false;
    }
    if (buffer_.capacity() > kKeepCapacity && text.size() < kKeepCapacity / 2) {
        std::string().swap(buffer_);
        lazyParser_ = simdjson::ondemand::parser{};
        parser_ = simdjson::dom::parser{};
    }
    buffer_.assign(text);
    buffer_.append(simdjson::SIMDJSON_PADDING, '\0');
    size_ = text.size();
    if (lazyParser_.iterate(buffer_.data(), size_, buffer_.size()).get(document_) != simdjson::SUCCESS) {
        return false;
    }
    open_ = true;
    return true;
}

JsonShape JsonReader::check() {
    if (!open_) {
        return JsonShape::Malformed;
    }
    if (checked_) {
        return JsonShape::Ok;
    }
    JsonShape shape = measureJson(std::string_view(buffer_.data(), size_), limits_);
    if (shape != JsonShape::Ok) {
        return shape;
    }
    if (parser_.parse(buffer_.data(), size_, false).get(root_) != simdjson::SUCCESS) {
        return JsonShape::Malformed;
    }
    checked_ = true;
    return JsonShape::Ok;
}

simdjson::simdjson_result<simdjson::ondemand::value> JsonReader::lazy(std::string_view pointer) {
    if (!open_ || !Liveness::alive(document_)) {
        open_ = false;
        return simdjson::UNINITIALIZED;
    }
    return document_.at_pointer(pointer);
}

JsonValue JsonReader::checked(std::string_view pointer) {
    return root_.at_pointer(pointer);
}

bool JsonReader::isObject() {
    if (checked_) {
        return root_.is_object();
    }
    if (!open_ || !Liveness::alive(document_)) {
        return false;
    }
    document_.rewind();
    return document_.get_object().error() == simdjson::SUCCESS;
}

// The lazy reads copy each text at once: a later look-up rewinds the index
// and reuses the buffer the text was decoded into.
std::optional<std::string> JsonReader::text(std::string_view pointer) {
    if (checked_) {
        return jsonText(checked(pointer));
    }
    std::string_view text;
    if (lazy(pointer).get_string().get(text) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return std::string(text);
}

std::optional<std::int64_t> JsonReader::integer(std::string_view pointer) {
    if (checked_) {
        return jsonInteger(checked(pointer));
    }
    std::int64_t number = 0;
    if (lazy(pointer).get_int64().get(number) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return number;
}

std::optional<bool> JsonReader::boolean(std::string_view pointer) {
    if (checked_) {
        return jsonBool(checked(pointer));
    }
    bool flag = false;
    if (lazy(pointer).get_bool().get(flag) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return flag;
}

bool JsonReader::has(std::string_view pointer) {
    return checked_ ? checked(pointer).error() == simdjson::SUCCESS
                    : lazy(pointer).error() == simdjson::SUCCESS;
}

bool JsonReader::forEach(std::string_view pointer, std::size_t limit,
                         const std::function<bool(JsonValue)>& visit) {
    simdjson::dom::array array;
    if (!checked_ || checked(pointer).get_array().get(array) != simdjson::SUCCESS) {
        return false;
    }
    std::size_t seen = 0;
    for (simdjson::dom::element element : array) {
        if (seen++ == limit || !visit(JsonValue(simdjson::dom::element(element)))) {
            break;
        }
    }
    return true;
}

}  // namespace util
