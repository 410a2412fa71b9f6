#include "platforms/bilibili/bilibili_packet.h"

#include <brotli/decode.h>
#include <brotli/encode.h>
#include <zlib.h>

#include <array>

namespace bilibili {

namespace {

std::uint32_t readBig32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint16_t readBig16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

void appendBig32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
}

void appendBig16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v & 0xFF));
}

bool readInto(std::string_view message, std::vector<Packet>& out, int depth, std::size_t& budget) {
    const auto* data = reinterpret_cast<const unsigned char*>(message.data());
    std::size_t pos = 0;
    while (message.size() - pos >= kHeaderSize) {
        const unsigned char* head = data + pos;
        std::uint32_t length = readBig32(head);
        std::uint16_t headerLength = readBig16(head + 4);
        if (headerLength < kHeaderSize || length < headerLength || length > message.size() - pos) {
            return false;
        }
        Packet packet;
        packet.version = readBig16(head + 6);
        packet.operation = readBig32(head + 8);
        std::string_view body = message.substr(pos + headerLength, length - headerLength);
        pos += length;
        bool bundle = packet.operation == kCommand && (packet.version == kZlib || packet.version == kBrotli);
        if (bundle) {
            if (depth >= kMaxBundleDepth) {
                return false;
            }
            auto inner = packet.version == kZlib ? inflateZlib(body, budget) : decompressBrotli(body, budget);
            // The budget is spent by the packets the bundle holds, not twice
            // over by the bundle and then its packets.
            if (!inner || !readInto(*inner, out, depth + 1, budget)) {
                return false;
            }
            continue;
        }
        if (body.size() > budget) {
            return false;
        }
        budget -= body.size();
        packet.body.assign(body);
        out.push_back(std::move(packet));
    }
    return true;
}

}  // namespace

std::string encodePacket(std::uint32_t operation, std::string_view body, std::uint16_t version,
                         std::uint32_t sequence) {
    std::string out;
    out.reserve(kHeaderSize + body.size());
    appendBig32(out, static_cast<std::uint32_t>(kHeaderSize + body.size()));
    appendBig16(out, kHeaderSize);
    appendBig16(out, version);
    appendBig32(out, operation);
    appendBig32(out, sequence);
    out.append(body);
    return out;
}

bool readPackets(std::string_view message, std::vector<Packet>& out) {
    std::size_t budget = kMaxUnpackedSize;
    return readInto(message, out, 0, budget);
}

std::optional<std::uint32_t> popularity(const Packet& reply) {
    if (reply.body.size() < 4) {
        return std::nullopt;
    }
    return readBig32(reinterpret_cast<const unsigned char*>(reply.body.data()));
}

std::optional<std::string> inflateZlib(std::string_view data, std::size_t limit) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    std::string out;
    std::array<char, 16384> chunk;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
        stream.avail_out = static_cast<uInt>(chunk.size());
        status = inflate(&stream, Z_NO_FLUSH);
        std::size_t produced = chunk.size() - stream.avail_out;
        if ((status != Z_OK && status != Z_STREAM_END) || out.size() + produced > limit ||
            (status == Z_OK && produced == 0 && stream.avail_in == 0)) {
            inflateEnd(&stream);
            return std::nullopt;
        }
        out.append(chunk.data(), produced);
    }
    inflateEnd(&stream);
    return out;
}

std::optional<std::string> decompressBrotli(std::string_view data, std::size_t limit) {
    BrotliDecoderState* state = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
    if (!state) {
        return std::nullopt;
    }
    const auto* next = reinterpret_cast<const std::uint8_t*>(data.data());
    std::size_t available = data.size();
    std::string out;
    std::array<std::uint8_t, 16384> chunk;
    BrotliDecoderResult result = BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT;
    while (result == BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT) {
        std::uint8_t* outNext = chunk.data();
        std::size_t outAvailable = chunk.size();
        result = BrotliDecoderDecompressStream(state, &available, &next, &outAvailable, &outNext, nullptr);
        std::size_t produced = chunk.size() - outAvailable;
        if (out.size() + produced > limit) {
            result = BROTLI_DECODER_RESULT_ERROR;
            break;
        }
        out.append(reinterpret_cast<const char*>(chunk.data()), produced);
    }
    BrotliDecoderDestroyInstance(state);
    // NEEDS_MORE_INPUT: the stream was cut short.
    if (result != BROTLI_DECODER_RESULT_SUCCESS) {
        return std::nullopt;
    }
    return out;
}

std::string bundlePacket(std::string_view packets, Version compression) {
    std::string compressed;
    if (compression == kBrotli) {
        std::size_t size = BrotliEncoderMaxCompressedSize(packets.size());
        compressed.resize(size == 0 ? packets.size() + 1024 : size);
        size = compressed.size();
        BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_GENERIC,
                              packets.size(), reinterpret_cast<const std::uint8_t*>(packets.data()), &size,
                              reinterpret_cast<std::uint8_t*>(compressed.data()));
        compressed.resize(size);
    } else {
        uLongf size = compressBound(static_cast<uLong>(packets.size()));
        compressed.resize(size);
        compress(reinterpret_cast<Bytef*>(compressed.data()), &size,
                 reinterpret_cast<const Bytef*>(packets.data()), static_cast<uLong>(packets.size()));
        compressed.resize(size);
    }
    return encodePacket(kCommand, compressed, compression, 0);
}

}  // namespace bilibili
