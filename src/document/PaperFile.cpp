#include "document/PaperFile.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "document/CMaskMngr.h"
#include "document/EventFile.h"
#include "document/PaperSnapshot.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "files/ByteStream.h"
#include "files/DocumentFile.h"
#include "files/EventContainer.h"
#include "platform/AtomicFile.h"
#include "platform/BusyCursor.h"
#include "platform/UserNotifier.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {

constexpr uint32_t kChunkHead = 8;

std::string Formatted(const char* format, const std::string& a, int number)
{
    char text[512];
    std::snprintf(text, sizeof text, format, a.c_str(), number);
    return text;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ---- loading --------------------------------------------------------------------------

class DocumentLoader {
public:
    DocumentLoader(ByteReader& in, TPaper& paper) : in_(in), paper_(paper), host_(paper.Host()) {}

    DocFileCode Run(const std::string& name);

private:
    bool StartPicture(const std::string& name);
    DocFileCode ReadChunks();
    DocFileCode ReadChunk(uint32_t tag, uint32_t length, bool& skipped);
    DocFileCode ReadLayer(uint32_t length);
    DocFileCode ReadMask(uint32_t length);
    DocFileCode ReadEvents();
    void InstallMasks();
    void Finish();
    void Step(const std::string& text);

    ByteReader& in_;
    // The recording was passed over (no recorder): its blocks follow.
    bool recordingPassed_ = false;
    TPaper& paper_;
    DocumentHost& host_;
    SDocumentHeader header_;
    int32_t unknown_ = 0;
    uint32_t lastUnknown_ = 0;
    int32_t steps_ = 1, done_ = 0;
    bool eventsLoaded_ = false;
    // Masks as they arrive; they replace the document's at the end.
    std::vector<std::unique_ptr<CMaskData>> masks_;
};

DocFileCode DocumentLoader::Run(const std::string& name)
{
    if (const DocFileCode code = ReadDocumentHeader(in_, header_); code != DocFileCode::Ok)
        return code;
    host_.BeginProgress(std::string("画像") + "ロード中 (" + name + ")");
    steps_ = std::max(1, (header_.flags & SDocumentHeader::kLayerCountValid ? std::max<int>(header_.layerCount, 0) : 0) +
                             (header_.flags & SDocumentHeader::kMaskCountValid ? std::max<int>(header_.maskCount, 0) : 0));
    if (!StartPicture(name)) {
        host_.EndProgress();
        return DocFileCode::NoMemory;
    }
    const DocFileCode code = ReadChunks();
    if (unknown_ > 0) {
        const char tag[5] = {char(lastUnknown_), char(lastUnknown_ >> 8), char(lastUnknown_ >> 16),
                             char(lastUnknown_ >> 24), 0};
        char text[160];
        std::snprintf(text, sizeof text, "%d個の未知のデータブロックを無視しました!  (id = %s)", unknown_, tag);
        Notifier().Warn(text);
    }
    if (code != DocFileCode::Ok)
        Notifier().Warn("読み込み中にエラーが検出されました! (err=" + std::to_string(CodeNumber(code)) + ")");
    Finish();
    host_.EndProgress();
    return code;
}

bool DocumentLoader::StartPicture(const std::string& name)
{
    const bool transparent = header_.flags & SDocumentHeader::kTransparentPaper;
    const int32_t w = header_.width, h = header_.height;
    if (!paper_.NewPicture(name, true, transparent, header_.resolution, w, h, w, h, false))
        return false;
    paper_.Layers().DeleteLayer(0);
    paper_.CheckerTransparency = header_.flags & SDocumentHeader::kChecker;
    paper_.PaperColour = header_.paperColour;
    // A revert loads into a window whose masks the file replaces.
    paper_.SwapMasks(std::make_unique<CMaskMngr>());
    paper_.SelectionBorderShown = paper_.SelectionUsed = true;
    return true;
}

DocFileCode DocumentLoader::ReadChunks()
{
    DocFileCode last = DocFileCode::Ok;
    while (in_.Remaining() > 0) {
        const uint64_t start = in_.Position();
        uint8_t head[kChunkHead];
        if (!in_.Read(head, sizeof head))
            return DocFileCode::ShortRead;
        bool skipped = false;
        last = ReadChunk(le::U32(head), le::U32(head + 4), skipped);
        if (skipped || last != DocFileCode::Ok) {
            const uint64_t target = start + kChunkHead + le::U32(head + 4);
            if (target > in_.Size())
                return DocFileCode::PastEnd;
            if (!in_.Seek(target))
                return DocFileCode::SeekFailed;
        }
    }
    return last;
}

DocFileCode DocumentLoader::ReadChunk(uint32_t tag, uint32_t length, bool& skipped)
{
    switch (tag) {
    case kTagLayer:
        if (const DocFileCode code = ReadLayer(length); code != DocFileCode::Ok) {
            Notifier().Warn(Formatted("%sの読み込みに失敗しました! (err=%d)", "レイヤ", CodeNumber(code)));
            return code;
        }
        return DocFileCode::Ok;
    case kTagMask:
        if (const DocFileCode code = ReadMask(length); code != DocFileCode::Ok) {
            Notifier().Warn(Formatted("%sの読み込みに失敗しました! (err=%d)", "マスク", CodeNumber(code)));
            return code;
        }
        return DocFileCode::Ok;
    case kTagEventsPacked:
    case kTagEventsPlain:
        // A document without a recorder (the export run) passes over the
        // recording, its blocks included, by their lengths.
        if (!paper_.EventManager()) {
            recordingPassed_ = skipped = true;
            return DocFileCode::Ok;
        }
        return ReadEvents();
    case kTagThumbnail:
        skipped = true;
        return DocFileCode::ThumbnailSkipped;
    case kTagLayerBlocks:
    case kTagMaskBlocks:
    case kTagEventBlock:
        // Also the blocks of a failed event container: they stand after it.
        skipped = true;
        return tag == kTagEventBlock && recordingPassed_ ? DocFileCode::Ok : DocFileCode::BlockSkipped;
    default:
        ++unknown_;
        lastUnknown_ = tag;
        skipped = true;
        return DocFileCode::Tag;
    }
}

void DocumentLoader::Step(const std::string& text)
{
    host_.Progress(text + "をロードしています...", int32_t(std::min(100, done_ * 100 / steps_)));
}

DocFileCode DocumentLoader::ReadLayer(uint32_t length)
{
    uint8_t raw[SClipLayerAttr::kBytes];
    if (length < SClipLayerAttr::kBytes || !in_.Read(raw, sizeof raw))
        return DocFileCode::ShortRead;
    SClipLayerAttr attr;
    attr.Decode(raw);
    CLayerMngr& layers = paper_.Layers();
    if (const DocFileCode code = attr.validate(layers.Count()); code != DocFileCode::Ok)
        return code;
    auto layer = std::make_unique<CLayerData>();
    if (!layer->Setup(attr.storeWidth, attr.storeHeight, attr.mode, layers.ThumbW, layers.ThumbH))
        return DocFileCode::CannotAddLayer;
    std::string name;
    if (const DocFileCode code = ReadLayerName(in_, length - SClipLayerAttr::kBytes, name); code != DocFileCode::Ok)
        return code;
    Step(name);
    ApplyLayerAttributes(attr, name, *layer, paper_.Width, paper_.Height);
    CLayerData* kept = layer.get();
    if (!layers.InsertLayer(attr.index, std::move(layer)))
        return DocFileCode::CannotAddLayer;
    // What arrived stays in the layer even when a later block chunk fails.
    const DocFileCode code = ReadStoreBlocks(in_, *kept->Store, false);
    kept->Store->Compact();
    kept->SizeThumbnail(layers.ThumbW, layers.ThumbH);
    kept->RefreshThumbnail();
    ++done_;
    return code;
}

DocFileCode DocumentLoader::ReadMask(uint32_t length)
{
    uint8_t raw[SClipLayerAttr::kBytes];
    if (length < SClipLayerAttr::kBytes || !in_.Read(raw, sizeof raw))
        return DocFileCode::ShortRead;
    SClipLayerAttr head;
    head.Decode(raw);
    if (const DocFileCode code = head.validateMask(); code != DocFileCode::Ok)
        return code;
    if (int32_t(masks_.size()) >= CMaskMngr::kMaxMasks)
        return DocFileCode::CannotAddMask;
    std::string name;
    if (const DocFileCode code = ReadLayerName(in_, length - SClipLayerAttr::kBytes, name);
        code != DocFileCode::Ok)
        return code;
    Step(name);
    auto mask = std::make_unique<CMaskData>(name);
    // Offsets far outside any store would overflow the mask's rectangle.
    mask->offsetX = std::clamp<int32_t>(head.originX, -int32_t(kMaxStoreSide), int32_t(kMaxStoreSide));
    mask->offsetY = std::clamp<int32_t>(head.originY, -int32_t(kMaxStoreSide), int32_t(kMaxStoreSide));
    if (head.flags & SClipLayerAttr::kHasBlocks) {
        mask->pixels = std::make_unique<CBlockVCH>(head.storeWidth, head.storeHeight);
        if (!mask->pixels->IsValid())
            return DocFileCode::CannotMakeMask;
        if (const DocFileCode code = ReadStoreBlocks(in_, *mask->pixels, true); code != DocFileCode::Ok)
            return code;
        mask->pixels->Compact();
    }
    masks_.push_back(std::move(mask));
    ++done_;
    return DocFileCode::Ok;
}

DocFileCode DocumentLoader::ReadEvents()
{
    host_.Progress("イベントデータをロードしています...", int32_t(std::min(100, done_ * 100 / steps_)));
    if (!in_.Seek(in_.Position() - kChunkHead))
        return DocFileCode::SeekFailed;
    CEventMngr& events = *paper_.EventManager();
    EventContainerInfo info;
    const EventFileCode code = ReadEventContainer(in_, events, info);
    if (code == EventFileCode::Ok) {
        eventsLoaded_ = true;
        return DocFileCode::Ok;
    }
    eventsLoaded_ = false;
    if (code == EventFileCode::Protected) {
        Notifier().Warn("不正なイベントブロックは読み込めません!");
        return DocFileCode::ProtectedEvents;
    }
    Notifier().Warn("イベントデータ部の読み込みに失敗しました!\rイベントは破棄されました。");
    // The chunk is skipped by its own length from where it began.
    return DocFileCode(CodeNumber(code));
}

// Without masks the document keeps a new one's single empty mask and
// selection flags; otherwise the header's current mask and flags apply.
void DocumentLoader::InstallMasks()
{
    if (masks_.empty())
        return;
    const int32_t counter =
        header_.flags & SDocumentHeader::kMaskNameValid ? std::max<int32_t>(header_.maskNameNext, 0) : 0;
    paper_.SwapMasks(CMaskMngr::FromList(std::move(masks_), header_.currentMask, counter));
    paper_.SelectionBorderShown = header_.flags & SDocumentHeader::kSelectionBorder;
    paper_.SelectionUsed = header_.flags & SDocumentHeader::kSelectionUsed;
    paper_.RefreshSelection();
}

void DocumentLoader::Finish()
{
    CLayerMngr& layers = paper_.Layers();
    if (header_.flags & SDocumentHeader::kLayerNameValid)
        layers.NameCounter = header_.layerNameNext;
    if (layers.Count() == 0 && layers.AddLayer(0, paper_.Width, true, 255, kModeNormal, paper_.Height) == 0)
        layers.NameLayer(0, 1);
    ClampLinkLevels(layers);
    InstallMasks();
    paper_.RenderAll(true);
    // The snapshot a recording may start from selects its layers in turn.
    ContinueRecording(paper_, eventsLoaded_);
    paper_.SelectLayer(std::clamp<int32_t>(header_.currentLayer, 0, layers.Count() - 1));
    paper_.InvalidateWindow(true);
    host_.RefreshLayerList();
}

// ---- saving ---------------------------------------------------------------------------

SDocumentHeader HeaderOf(TPaper& paper)
{
    const CMaskMngr& masks = paper.Masks();
    SDocumentHeader h;
    h.width = paper.Width;
    h.height = paper.Height;
    h.flags = SDocumentHeader::kLayerCountValid | SDocumentHeader::kMaskCountValid |
              SDocumentHeader::kLayerNameValid | SDocumentHeader::kMaskNameValid;
    if (paper.SelectionBorderShown)
        h.flags |= SDocumentHeader::kSelectionBorder;
    if (paper.SelectionUsed)
        h.flags |= SDocumentHeader::kSelectionUsed;
    if (!paper.OpaquePaper)
        h.flags |= SDocumentHeader::kTransparentPaper;
    if (paper.CheckerTransparency)
        h.flags |= SDocumentHeader::kChecker;
    h.paperColour = paper.PaperColour;
    h.currentLayer = int16_t(paper.CurrentLayer());
    h.currentMask = int16_t(masks.Current());
    h.resolution = uint16_t(std::clamp(paper.Resolution, 0, 0xFFFF));
    h.layerCount = int16_t(paper.LayerCount());
    h.layerNameNext = int16_t(paper.Layers().NameCounter);
    h.maskCount = int16_t(masks.Count());
    h.maskNameNext = int16_t(masks.NameCounter());
    return h;
}

// A writer's failure as the document save reports it.
template <class Code>
DocFileCode Written(Code code)
{
    if (code == Code::Ok)
        return DocFileCode::Ok;
    if (code == Code::NoMemory)
        return DocFileCode::NoMemory;
    return code == Code::Exception ? DocFileCode::Exception : DocFileCode::ShortWrite;
}

DocFileCode WriteLayers(ByteWriter& out, TPaper& paper)
{
    for (int32_t i = 0; i < paper.LayerCount(); ++i) {
        const CLayerData& layer = *paper.LayerAt(i);
        if (!layer.HasStore())
            return DocFileCode::NoMemory;
        if (const WriteCode code = WriteLayerHead(out, ClipLayerAttrOf(layer), layer.Name); code != WriteCode::Ok)
            return Written(code);
        if (const WriteCode code = WriteStoreBlocks(out, *layer.Store, false); code != WriteCode::Ok)
            return Written(code);
    }
    return DocFileCode::Ok;
}

// The mask chunk's head: the layer head's fields a mask has, the others
// zero; an empty mask has neither store nor blocks.
SClipLayerAttr MaskHeadOf(const CMaskData& mask)
{
    SClipLayerAttr head;
    head.index = mask.listIndex;
    head.flags = mask.pixels ? SClipLayerAttr::kHasBlocks : 0;
    head.mode = 0;
    head.opacity = 0;
    head.defaultPixel = 0;
    head.ditherDensity = 0;
    head.SetStore(mask.pixels ? mask.pixels->Width : 0, mask.pixels ? mask.pixels->Height : 0,
                  SClipLayerAttr::kMaskBlockSide);
    head.originX = mask.offsetX;
    head.originY = mask.offsetY;
    return head;
}

DocFileCode WriteMasks(ByteWriter& out, const CMaskMngr& masks)
{
    for (int32_t i = 0; i < masks.Count(); ++i) {
        const CMaskData& mask = *masks.At(i);
        if (const WriteCode code = WriteLayerHead(out, MaskHeadOf(mask), mask.name, kTagMask);
            code != WriteCode::Ok)
            return Written(code);
        if (mask.pixels)
            if (const WriteCode code = WriteStoreBlocks(out, *mask.pixels, true); code != WriteCode::Ok)
                return Written(code);
    }
    return DocFileCode::Ok;
}

// The recording as a player could start it: the committed stream with an end
// mark, written from a copy so that the live stream and its redo steps stay
// as they are.
DocFileCode WriteRecording(ByteWriter& out, TPaper& paper)
{
    CEventMngr* events = paper.EventManager();
    if (!events || !events->IsRecordingWithEvents() || !events->OpensWithNewCanvas())
        return DocFileCode::Ok;
    CSegmentedStore copy(events->Store().SegmentSize());
    const int64_t length = events->CommittedLength();
    std::vector<uint8_t> piece(size_t(std::min<int64_t>(length, 1 << 20)));
    for (int64_t at = 0; at < length;) {
        const int64_t n = std::min<int64_t>(length - at, int64_t(piece.size()));
        if (events->Read(at, piece.data(), n) != n || !copy.Append(piece.data(), n))
            return DocFileCode::NoMemory;
        at += n;
    }
    const uint8_t mark[2] = {CategoryOf(PacketId::EndMark), CodeOf(PacketId::EndMark)};
    if (!copy.Append(mark, sizeof mark))
        return DocFileCode::NoMemory;
    EventContainerInfo info;
    info.width = paper.Width;
    info.height = paper.Height;
    info.steps = uint32_t(events->CommittedSteps() + 1);
    info.length = uint32_t(copy.Position());
    info.flags = 0;
    return Written(WriteContainer(out, copy, info));
}

} // namespace

SClipLayerAttr ClipLayerAttrOf(const CLayerData& layer)
{
    SClipLayerAttr a;
    a.index = layer.Position;
    a.flags = uint16_t((layer.Visible ? SClipLayerAttr::kVisible : 0) |
                       (layer.ProtectAlpha ? SClipLayerAttr::kProtectAlpha : 0) | SClipLayerAttr::kDitherValid |
                       (layer.Dither ? SClipLayerAttr::kDither : 0));
    a.mode = layer.Mode;
    a.opacity = layer.Opacity;
    if (layer.Store) {
        a.SetStore(layer.Store->Width, layer.Store->Height, SClipLayerAttr::kLayerBlockSide);
        a.defaultPixel = layer.Store->DefaultUniform;
    }
    a.originX = layer.OriginX;
    a.originY = layer.OriginY;
    a.nominalWidth = layer.NominalW;
    a.nominalHeight = layer.NominalH;
    a.modeClass = layer.Mode <= 3 ? 0 : 1;
    a.ditherDensity = layer.DitherDensity;
    a.linkLevel = uint16_t(std::max(layer.LinkLevel, 0));
    a.ditherValue = layer.DitherSeed.Value;
    return a;
}

DocFileCode LoadDocumentFile(ByteReader& in, TPaper& document, const std::string& name)
{
    BusyCursor busy;
    DocumentLoader loader(in, document);
    return Guarded<DocFileCode>([&] { return loader.Run(name); });
}

DocFileCode LoadDocumentFile(const std::string& path, TPaper& document)
{
    FileReader in;
    if (const OpenCode opened = in.Open(path); opened != OpenCode::Ok)
        return Relay<DocFileCode>(opened);
    return LoadDocumentFile(in, document, BaseName(path));
}

DocFileCode SaveDocumentFile(ByteWriter& out, TPaper& document)
{
    return Guarded<DocFileCode>([&] {
        uint8_t header[SDocumentHeader::kBytes];
        HeaderOf(document).Encode(header);
        if (!out.Write(header, sizeof header))
            return DocFileCode::ShortWrite;
        if (const DocFileCode code = Written(WriteThumbnailChunk(out, document.Composite(), kEventGeneration));
            code != DocFileCode::Ok)
            return code;
        if (const DocFileCode code = WriteLayers(out, document); code != DocFileCode::Ok)
            return code;
        if (const DocFileCode code = WriteMasks(out, document.Masks()); code != DocFileCode::Ok)
            return code;
        return WriteRecording(out, document);
    });
}

DocFileCode SaveDocumentFile(const std::string& path, TPaper& document)
{
    BusyCursor busy;
    AtomicFile file(path);
    if (!file.IsOpen())
        return DocFileCode::CannotOpen;
    AtomicFileWriter out(file);
    if (const DocFileCode code = SaveDocumentFile(out, document); code != DocFileCode::Ok)
        return code;
    return file.Commit() ? DocFileCode::Ok : DocFileCode::ShortWrite;
}

std::string DocumentFileMessage(const std::string& path, DocFileCode code)
{
    return path + "\r    (err=" + std::to_string(CodeNumber(code)) + ")";
}

} // namespace morvane
