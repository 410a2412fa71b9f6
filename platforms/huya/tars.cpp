#include "platforms/huya/tars.h"

#include <bit>
#include <limits>

namespace huya::tars {

namespace {

bool isInteger(Type type) {
    return type == Type::Int1 || type == Type::Int2 || type == Type::Int4 || type == Type::Int8 ||
           type == Type::Zero;
}

// Reads fields from a run of bytes that may be hostile: every read is checked
// against what remains, and a failed read leaves the cursor unusable.
class Cursor {
  public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    bool atEnd() const { return pos_ >= bytes_.size(); }
    std::size_t pos() const { return pos_; }

    bool head(unsigned& tag, Type& type) {
        std::uint64_t byte = 0;
        if (!bigEndian(1, byte)) {
            return false;
        }
        tag = static_cast<unsigned>(byte >> 4);
        type = static_cast<Type>(byte & 0x0F);
        if (tag == 15) {
            std::uint64_t wide = 0;
            if (!bigEndian(1, wide)) {
                return false;
            }
            tag = static_cast<unsigned>(wide);
        }
        return type <= Type::SimpleList;
    }

    // The whole field after `head`; nested contents are checked to `kMaxDepth`.
    bool field(Field& out, int depth) { return head(out.tag, out.type) && value(out, depth); }

    bool value(Field& out, int depth) {
        std::uint64_t raw = 0;
        switch (out.type) {
            case Type::Int1:
                return signedValue(1, out);
            case Type::Int2:
                return signedValue(2, out);
            case Type::Int4:
                return signedValue(4, out);
            case Type::Int8:
                return signedValue(8, out);
            case Type::Float:
                if (!bigEndian(4, raw)) {
                    return false;
                }
                out.real = std::bit_cast<float>(static_cast<std::uint32_t>(raw));
                return true;
            case Type::Double:
                if (!bigEndian(8, raw)) {
                    return false;
                }
                out.real = std::bit_cast<double>(raw);
                return true;
            case Type::String1:
                return bigEndian(1, raw) && take(raw, out.body);
            case Type::String4:
                return bigEndian(4, raw) && take(raw, out.body);
            case Type::Map:
                return elements(out, 2, depth);
            case Type::List:
                return elements(out, 1, depth);
            case Type::StructBegin:
                return structBody(out, depth);
            case Type::StructEnd:
                return false;  // only ends a struct, which structBody reads itself
            case Type::Zero:
                out.number = 0;
                return true;
            case Type::SimpleList: {
                Field kind;
                std::uint32_t length = 0;
                return head(kind.tag, kind.type) && kind.type == Type::Int1 && count(length) &&
                       take(length, out.body);
            }
        }
        return false;
    }

  private:
    bool bigEndian(std::size_t width, std::uint64_t& value) {
        if (bytes_.size() - pos_ < width) {
            return false;
        }
        value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            value = (value << 8) | static_cast<unsigned char>(bytes_[pos_ + i]);
        }
        pos_ += width;
        return true;
    }

    bool signedValue(std::size_t width, Field& out) {
        std::uint64_t raw = 0;
        if (!bigEndian(width, raw)) {
            return false;
        }
        // Sign-extend from the field's width.
        unsigned shift = static_cast<unsigned>(64 - 8 * width);
        out.number = static_cast<std::int64_t>(raw << shift) >> shift;
        return true;
    }

    bool take(std::uint64_t length, std::string_view& out) {
        if (length > bytes_.size() - pos_) {
            return false;
        }
        out = bytes_.substr(pos_, static_cast<std::size_t>(length));
        pos_ += static_cast<std::size_t>(length);
        return true;
    }

    // The element count that opens a List, Map or SimpleList: an integer field.
    bool count(std::uint32_t& out) {
        Field length;
        if (!field(length, kMaxDepth) || !isInteger(length.type) || length.number < 0 ||
            length.number > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        out = static_cast<std::uint32_t>(length.number);
        return true;
    }

    bool elements(Field& out, std::uint64_t perEntry, int depth) {
        if (depth >= kMaxDepth || !count(out.count)) {
            return false;
        }
        std::uint64_t total = out.count * perEntry;
        // Every element takes a byte at least: a count past what remains is a lie.
        if (total > bytes_.size() - pos_) {
            return false;
        }
        std::size_t start = pos_;
        for (std::uint64_t i = 0; i < total; ++i) {
            Field element;
            if (!field(element, depth + 1)) {
                return false;
            }
        }
        out.body = bytes_.substr(start, pos_ - start);
        return true;
    }

    bool structBody(Field& out, int depth) {
        if (depth >= kMaxDepth) {
            return false;
        }
        std::size_t start = pos_;
        while (true) {
            std::size_t at = pos_;
            Field inner;
            if (!head(inner.tag, inner.type)) {
                return false;
            }
            if (inner.type == Type::StructEnd) {
                out.body = bytes_.substr(start, at - start);
                return true;
            }
            if (!value(inner, depth + 1)) {
                return false;
            }
        }
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<Struct> Struct::parse(std::string_view bytes) {
    Cursor cursor(bytes);
    while (!cursor.atEnd()) {
        Field field;
        if (!cursor.field(field, 0)) {
            return std::nullopt;
        }
    }
    return Struct(bytes);
}

std::optional<Field> Struct::field(unsigned tag) const {
    Cursor cursor(body_);
    while (!cursor.atEnd()) {
        Field field;
        if (!cursor.field(field, 0)) {
            return std::nullopt;
        }
        if (field.tag == tag) {
            return field;
        }
    }
    return std::nullopt;
}

std::int64_t Struct::integer(unsigned tag, std::int64_t fallback) const {
    auto found = field(tag);
    return found && isInteger(found->type) ? found->number : fallback;
}

std::string_view Struct::bytes(unsigned tag) const {
    auto found = field(tag);
    if (found &&
        (found->type == Type::String1 || found->type == Type::String4 || found->type == Type::SimpleList)) {
        return found->body;
    }
    return {};
}

std::optional<Struct> Struct::child(unsigned tag) const {
    auto found = field(tag);
    return found ? of(*found) : std::nullopt;
}

std::optional<Struct> Struct::of(const Field& field) {
    if (field.type != Type::StructBegin) {
        return std::nullopt;
    }
    return Struct(field.body);
}

bool Struct::forEach(unsigned tag, const std::function<bool(const Field&)>& visit) const {
    auto found = field(tag);
    if (!found || found->type != Type::List) {
        return false;
    }
    Cursor cursor(found->body);
    for (std::uint32_t i = 0; i < found->count; ++i) {
        Field element;
        if (!cursor.field(element, 0) || !visit(element)) {
            break;
        }
    }
    return true;
}

void Writer::head(unsigned tag, Type type) {
    auto code = static_cast<unsigned>(type);
    if (tag < 15) {
        data_ += static_cast<char>((tag << 4) | code);
    } else {
        data_ += static_cast<char>(0xF0 | code);
        data_ += static_cast<char>(tag & 0xFF);
    }
}

void Writer::integer(unsigned tag, std::int64_t value) {
    auto put = [this](std::uint64_t raw, int width) {
        for (int i = width - 1; i >= 0; --i) {
            data_ += static_cast<char>((raw >> (8 * i)) & 0xFF);
        }
    };
    auto raw = static_cast<std::uint64_t>(value);
    if (value == 0) {
        head(tag, Type::Zero);
    } else if (value >= std::numeric_limits<std::int8_t>::min() &&
               value <= std::numeric_limits<std::int8_t>::max()) {
        head(tag, Type::Int1);
        put(raw, 1);
    } else if (value >= std::numeric_limits<std::int16_t>::min() &&
               value <= std::numeric_limits<std::int16_t>::max()) {
        head(tag, Type::Int2);
        put(raw, 2);
    } else if (value >= std::numeric_limits<std::int32_t>::min() &&
               value <= std::numeric_limits<std::int32_t>::max()) {
        head(tag, Type::Int4);
        put(raw, 4);
    } else {
        head(tag, Type::Int8);
        put(raw, 8);
    }
}

void Writer::real(unsigned tag, double value) {
    head(tag, Type::Double);
    auto raw = std::bit_cast<std::uint64_t>(value);
    for (int i = 7; i >= 0; --i) {
        data_ += static_cast<char>((raw >> (8 * i)) & 0xFF);
    }
}

void Writer::text(unsigned tag, std::string_view value) {
    if (value.size() <= 255) {
        head(tag, Type::String1);
        data_ += static_cast<char>(value.size());
    } else {
        head(tag, Type::String4);
        auto size = static_cast<std::uint32_t>(value.size());
        for (int i = 3; i >= 0; --i) {
            data_ += static_cast<char>((size >> (8 * i)) & 0xFF);
        }
    }
    data_ += value;
}

void Writer::bytes(unsigned tag, std::string_view value) {
    head(tag, Type::SimpleList);
    head(0, Type::Int1);
    integer(0, static_cast<std::int64_t>(value.size()));
    data_ += value;
}

void Writer::beginStruct(unsigned tag) {
    head(tag, Type::StructBegin);
}

void Writer::endStruct() {
    head(0, Type::StructEnd);
}

void Writer::list(unsigned tag, std::size_t count,
                  const std::function<void(Writer&, std::size_t)>& writeElement) {
    head(tag, Type::List);
    integer(0, static_cast<std::int64_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        writeElement(*this, i);
    }
}

}  // namespace huya::tars
