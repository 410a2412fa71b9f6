#include "sim/bilibili/bilibili_wire.h"

#include <brotli/encode.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <array>
#include <cctype>

namespace sim::biliwire {

namespace {

void put32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
}

void put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v & 0xFF));
}

std::uint32_t get32(std::string_view in, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        v = (v << 8) | static_cast<unsigned char>(in[at + i]);
    }
    return v;
}

void varint(std::string& out, std::uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

void field(std::string& out, int number, std::uint64_t value) {
    varint(out, static_cast<std::uint64_t>(number) << 3);
    varint(out, value);
}

void field(std::string& out, int number, std::string_view bytes) {
    varint(out, (static_cast<std::uint64_t>(number) << 3) | 2);
    varint(out, bytes.size());
    out.append(bytes);
}

// The published reordering of the two keys' 64 characters; the first 32 are
// the key the query is hashed with.
constexpr std::array<int, 64> kMixin = {46, 47, 18, 2,  53, 8,  23, 32, 15, 50, 10, 31, 58, 3,  45, 35,
                                        27, 43, 5,  49, 33, 9,  42, 19, 29, 28, 14, 39, 12, 38, 41, 13,
                                        37, 48, 7,  16, 24, 55, 40, 61, 26, 17, 0,  1,  60, 51, 30, 4,
                                        22, 25, 54, 21, 56, 59, 6,  63, 57, 62, 11, 36, 20, 34, 44, 52};

std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c == '!' || c == '\'' || c == '(' || c == ')' || c == '*') {
            continue;  // the signer drops these before it encodes
        }
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

std::string packet(std::uint32_t operation, std::string_view body, std::uint16_t version,
                   std::uint32_t sequence) {
    std::string out;
    put32(out, static_cast<std::uint32_t>(16 + body.size()));
    put16(out, 16);
    put16(out, version);
    put32(out, operation);
    put32(out, sequence);
    out.append(body);
    return out;
}

bool split(std::string_view message, std::vector<Received>& out) {
    std::size_t at = 0;
    while (message.size() - at >= 16) {
        std::uint32_t length = get32(message, at);
        std::uint32_t header =
            (static_cast<unsigned char>(message[at + 4]) << 8) | static_cast<unsigned char>(message[at + 5]);
        if (header < 16 || length < header || length > message.size() - at) {
            return false;
        }
        out.push_back({get32(message, at + 8), std::string(message.substr(at + header, length - header))});
        at += length;
    }
    return true;
}

std::string bundle(std::string_view packets, std::uint16_t compression) {
    std::string packed;
    if (compression == kZlib) {
        uLongf size = compressBound(static_cast<uLong>(packets.size()));
        packed.resize(size);
        compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(packets.data()), static_cast<uLong>(packets.size()),
                  Z_BEST_COMPRESSION);
        packed.resize(size);
    } else {
        std::size_t size = BrotliEncoderMaxCompressedSize(packets.size());
        packed.resize(size);
        BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT, packets.size(),
                              reinterpret_cast<const std::uint8_t*>(packets.data()), &size,
                              reinterpret_cast<std::uint8_t*>(packed.data()));
        packed.resize(size);
    }
    return packet(kCommand, packed, compression, 0);
}

std::string interactWordPayload(std::uint64_t uid, std::string_view name, std::int64_t msgType) {
    std::string out;
    field(out, 1, uid);
    field(out, 2, name);
    field(out, 5, static_cast<std::uint64_t>(msgType));
    return out;
}

std::string sendGiftPayload(std::uint64_t uid, std::string_view name, std::string_view gift,
                            std::int64_t count) {
    std::string item;
    field(item, 1, std::uint64_t{31036});
    field(item, 2, gift);
    field(item, 3, static_cast<std::uint64_t>(count));
    std::string out;
    field(out, 1, uid);
    field(out, 2, name);
    field(out, 10, std::string_view(item));
    return out;
}

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        n |= i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0u;
        n |= i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0u;
        out += kAlphabet[n >> 18];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
}

std::string wbiSignature(const std::map<std::string, std::string>& params, std::string_view wts,
                         std::string_view imgKey, std::string_view subKey) {
    std::string both = std::string(imgKey) + std::string(subKey);
    if (both.size() < kMixin.size()) {
        return {};
    }
    std::string key;
    for (std::size_t i = 0; i < 32; ++i) {
        key += both[static_cast<std::size_t>(kMixin[i])];
    }
    std::map<std::string, std::string> all = params;
    all["wts"] = std::string(wts);
    std::string query;
    for (const auto& [name, value] : all) {  // a std::map walks its keys sorted
        query += (query.empty() ? "" : "&") + percentEncoded(name) + "=" + percentEncoded(value);
    }
    query += key;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(query.data(), query.size(), digest, &length, EVP_md5(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

}  // namespace sim::biliwire
