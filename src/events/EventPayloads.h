#pragma once
// The typed payloads of every packet kind (generated from the description
// in src/events/EventPackets.txt) and what works on them beyond their
// fields: compressed pixels, tone names, image blocks, coverage rectangles.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "events/EventPackets.h"
#include "events/PacketChecks.h"

namespace morvane {

// Exactly unpackedSize bytes (at most kMaxEmbeddedPixels), or false.
bool UnpackPixels(const PackedPixels& p, std::vector<uint8_t>& out);
// Compresses pixels into the record; false when compression fails.
bool PackPixels(PackedPixels& p, std::span<const uint8_t> pixels);

// A tone's name is the first nameLength bytes of its field.
std::string ToneName(const EmbeddedTonePayload& tone);
bool SetToneName(EmbeddedTonePayload& tone, const std::string& name);

// Fills an image block's sizes and length field from its image, name and
// placement.
void SealImageBlock(ImageBlockPayload& image);

// The coverage rectangle of a pixel block, exactly snapWidth x snapHeight
// bytes; and the reverse, compressing it into the field.
bool UnpackCoverage(const PixelBlockPayload& p, std::vector<uint8_t>& coverage);
bool UnpackCoverage(const PixelBlockEnlargedPayload& p, std::vector<uint8_t>& coverage);
bool PackCoverage(PixelBlockPayload& p, std::span<const uint8_t> coverage);
bool PackCoverage(PixelBlockEnlargedPayload& p, std::span<const uint8_t> coverage);

// Decodes a whole packet with the payload struct of its kind: nullptr when
// it decodes and passes every check of the description, else what failed.
// On success hands back the struct encoded again when asked.
const char* PacketFailure(std::span<const uint8_t> packet, std::vector<uint8_t>* reencoded = nullptr);
inline bool DecodePacket(std::span<const uint8_t> packet, std::vector<uint8_t>* reencoded = nullptr)
{
    return PacketFailure(packet, reencoded) == nullptr;
}

} // namespace morvane
