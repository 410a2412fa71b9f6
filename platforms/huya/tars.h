// TARS (also called JCE), the binary encoding of Huya's web chat: each field
// is a head byte carrying a tag and a type, then its value, big-endian. A
// struct is a run of fields; readers skip the tags they do not know, which is
// how old and new versions of a message stay compatible.
//
// The reader never trusts a length: every string, byte run, list and map is
// checked against the bytes that remain before anything is read, nesting is
// capped, and nothing is copied or allocated while a message is checked, so a
// hostile message costs at most one pass over its bytes.
//
// Pure; any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace huya::tars {

enum class Type : std::uint8_t {
    Int1 = 0,
    Int2 = 1,
    Int4 = 2,
    Int8 = 3,
    Float = 4,
    Double = 5,
    String1 = 6,
    String4 = 7,
    Map = 8,
    List = 9,
    StructBegin = 10,
    StructEnd = 11,
    Zero = 12,
    SimpleList = 13,
};

// Structs, lists and maps nested deeper than this make the message invalid.
// Huya's own messages go four or five levels deep.
inline constexpr int kMaxDepth = 32;

// One field as read: integers (all widths, and Zero) in `number`, Float and
// Double in `real`, strings and SimpleList bytes in `body`; for StructBegin,
// List and Map, `body` holds their encoded contents (a struct's fields without
// its StructEnd; a list's or map's elements) and `count` their number.
struct Field {
    unsigned tag = 0;
    Type type = Type::Zero;
    std::int64_t number = 0;
    double real = 0;
    std::string_view body;
    std::uint32_t count = 0;
};

// The fields of one struct. `parse` checks the whole encoding (a message, or
// the body of a nested struct) once; the accessors then read it without
// failing. A field asked for with the wrong type reads as absent.
class Struct {
  public:
    static std::optional<Struct> parse(std::string_view bytes);

    // The first field with `tag`, if any.
    std::optional<Field> field(unsigned tag) const;

    std::int64_t integer(unsigned tag, std::int64_t fallback = 0) const;
    // A String1/String4 or a SimpleList's bytes; empty when absent.
    std::string_view bytes(unsigned tag) const;
    std::optional<Struct> child(unsigned tag) const;
    // Calls `visit` for each element of the List at `tag`, in order, until it
    // returns false; false when there is no such list.
    bool forEach(unsigned tag, const std::function<bool(const Field&)>& visit) const;

    // A struct element of a list.
    static std::optional<Struct> of(const Field& field);

  private:
    explicit Struct(std::string_view body) : body_(body) {}

    std::string_view body_;
};

// Builds one message, field by field.
class Writer {
  public:
    // The narrowest integer type that holds `value` (Zero for 0).
    void integer(unsigned tag, std::int64_t value);
    void boolean(unsigned tag, bool value) { integer(tag, value ? 1 : 0); }
    void real(unsigned tag, double value);
    void text(unsigned tag, std::string_view value);   // String1 up to 255 bytes, else String4
    void bytes(unsigned tag, std::string_view value);  // SimpleList
    void beginStruct(unsigned tag);
    void endStruct();
    // A List: the count, then each element written by `writeElement` with tag 0.
    void list(unsigned tag, std::size_t count, const std::function<void(Writer&, std::size_t)>& writeElement);

    const std::string& data() const { return data_; }
    std::string take() { return std::move(data_); }

  private:
    void head(unsigned tag, Type type);

    std::string data_;
};

}  // namespace huya::tars
