#include "services/printengine.h"

#include "services/splittag.h"

#include <utility>

namespace loomway {

PrintEngine::PrintEngine(PrinterSurface& surface, SerialPort& handheld, Traffic& traffic,
                         LampPanel& lamps)
    : m_surface(surface), m_handheld(handheld), m_traffic(traffic), m_lamps(lamps),
      m_framer("<LMW_P>", "</LMW_P>"), m_layout(surface) {}

Redirected PrintEngine::PrintRedirect(const std::string& chunk) {
    std::optional<FramedRequest> request = m_framer.Feed(chunk);
    if (!request) {
        return {};
    }
    m_lamps.SetLamp(Lamp::Printer, LampPicture::PrinterOn);

    Job job;
    job.body = request->body;
    job.fields.LEN = request->body.size();
    try {
        RunJob(job);
    } catch (const PrinterError& error) {
        FailJob(job, chunk, error.code);
    }
    // The leftover belongs to the next request, whether or not this job went
    // through: it may already hold the start of the next print.
    m_framer.SetBuffer(std::move(request->leftover));
    return {true, request->tail};
}

void PrintEngine::RunJob(Job& job) {
    m_layout.StartJob();
    ProcessDocument(job);
    m_surface.EndDoc();
    if (job.statusRequested) {
        ComputeStatusFields(m_surface, job.fields);
        const std::string reply = FormatStatusReply(job.fields, std::nullopt);
        job.replySent = true;
        try {
            m_handheld.Write(reply);
            m_traffic.AppendToPane(Pane::Received, reply);
            ReportChunk(m_tap, ChunkDirection::ProgramToHandheld, false, reply);
        } catch (const PortError&) {
            // The handheld went away: nothing reached it, so nothing is shown.
        }
    }
    m_surface.SetFontBold(false);
    m_surface.SetFontUnderline(false);
    m_surface.SetFontItalic(false);
}

void PrintEngine::ProcessDocument(Job& job) {
    std::string_view remaining = job.body;
    std::string_view tagName;
    do {
        const SplitTagResult split = SplitTag(remaining);
        tagName = split.tagName;
        const MarkupTagInfo tag = LookupTag(tagName);
        if (tag.tag == MarkupTag::PortraitOrientation) {
            m_surface.SetOrientation(PrinterSurface::kPortrait);
        } else if (tag.tag == MarkupTag::LandscapeOrientation) {
            m_surface.SetOrientation(PrinterSurface::kLandscape);
        }
        m_layout.PrintRun(split.before, tagName);
        ApplyTag(tag, job);
        remaining = split.rest;
    } while (!tagName.empty());
}

void PrintEngine::ApplyTag(const MarkupTagInfo& tag, Job& job) {
    switch (tag.tag) {
    case MarkupTag::Bold:
        m_surface.SetFontBold(true);
        break;
    case MarkupTag::Italic:
        m_surface.SetFontItalic(true);
        break;
    case MarkupTag::Underline:
        m_surface.SetFontUnderline(true);
        break;
    case MarkupTag::Normal:
        m_surface.SetFontBold(false);
        m_surface.SetFontUnderline(false);
        m_surface.SetFontItalic(false);
        break;
    case MarkupTag::Default:
        m_surface.SetFontBold(false);
        m_surface.SetFontUnderline(false);
        m_surface.SetFontItalic(false);
        m_surface.SetFontName(std::string(kDefaultFace));
        m_surface.SetFontSize(kDefaultSize);
        break;
    case MarkupTag::Size:
        m_surface.SetFontSize(tag.size);
        break;
    case MarkupTag::Face:
        m_surface.SetFontName(std::string(tag.face));
        break;
    case MarkupTag::AlignLeft:
        m_layout.SetAlignMode(kAlignLeft);
        break;
    case MarkupTag::AlignCenter:
        m_layout.SetAlignMode(kAlignCenter);
        break;
    case MarkupTag::AlignRight:
        m_layout.SetAlignMode(kAlignRight);
        break;
    case MarkupTag::FormFeed:
        m_layout.FormFeed();
        break;
    case MarkupTag::PageNumber:
        m_layout.PrintPageNumber();
        break;
    case MarkupTag::StatusRequest:
        job.statusRequested = true;
        break;
    case MarkupTag::PortraitOrientation:  // applied before the run
    case MarkupTag::LandscapeOrientation: // applied before the run
    case MarkupTag::NewLine:              // ended the line in PrintRun
    case MarkupTag::Unlisted:
        break;
    }
}

void PrintEngine::FailJob(Job& job, const std::string& chunk, int code) {
    // What was drawn so far never reaches the printer.
    m_surface.AbortDoc();
    if (chunk.find("<SRESP>") != std::string::npos) {
        job.statusRequested = true;
    }
    // At most one reply per job: a failure after the reply went out sends no second one.
    if (!job.statusRequested || job.replySent) {
        return;
    }
    const std::string reply = FormatStatusReply(job.fields, code);
    m_traffic.AppendToPane(Pane::Received, reply);
    try {
        m_handheld.Write(reply);
        ReportChunk(m_tap, ChunkDirection::ProgramToHandheld, false, reply);
    } catch (const PortError&) {
        // The handheld went away; the job has failed already.
    }
}

} // namespace loomway
