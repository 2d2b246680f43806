#pragma once

namespace rarivoredu {

// Timing of streaming recognition, in seconds (the last field is a confidence).
//
// Windows lie on the encoder's frame grid (1280 samples, 0.08 s): the chunk and the contexts are
// used in whole frames, and a window never holds more than the recogniser's 15 s. When chunk and
// contexts together are longer, the right context is kept as far as it fits and the left context
// gets the rest; with a 15 s chunk (longContext) the windows are the chunks alone.
struct StreamingAsrConfig {
    // New audio per window; also the hop between windows. Between 0.08 s and 15 s.
    double chunkSeconds;
    // Carried along; nothing reads it.
    double hypothesisChunkSeconds;
    // Audio before the chunk that a window also covers.
    double leftContextSeconds;
    // Audio after the chunk that a window also covers (not for the windows after the input ended).
    double rightContextSeconds;
    // Seconds received so far that a window needs before its result can confirm text.
    double minContextForConfirmation;
    // Lowest window confidence that confirms text.
    double confirmationThreshold;

    StreamingAsrConfig(double chunkSeconds, double hypothesisChunkSeconds, double leftContextSeconds,
                       double rightContextSeconds, double minContextForConfirmation, double confirmationThreshold);
    // 10 s of left and 2 s of right context, confirmation after 10 s of audio.
    StreamingAsrConfig(double chunkSeconds, double confirmationThreshold);
    static StreamingAsrConfig custom(double chunkSeconds, double confirmationThreshold);

    // 15 s chunks.
    static StreamingAsrConfig longContext();
    // 11 s chunks with 2 s of context on either side.
    static StreamingAsrConfig shortContext();

    // The one check of a configuration: every value a finite number, the chunk between one
    // encoder frame and 15 s, no negative context. Throws StreamingAsrError::invalidConfiguration.
    void validate() const;

    // The window geometry in encoder frames, for a valid configuration.
    int chunkFrames() const;
    int rightContextFrames() const;
    int leftContextFrames() const;

    bool operator==(const StreamingAsrConfig&) const = default;
};

}  // namespace rarivoredu
