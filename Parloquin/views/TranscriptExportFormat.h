#pragma once

namespace parloquin {

// The formats one transcript can be saved in: plain text, SubRip subtitles, Rich Text.
enum class TranscriptExportFormat { txt, srt, rtf };

}  // namespace parloquin
