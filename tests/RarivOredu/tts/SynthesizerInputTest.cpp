#include "RarivOredu/tts/SynthesizerInput.h"

#include <gtest/gtest.h>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsTextPreprocessor.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

TEST(SynthesizerInputTest, SanitisedTextLosesBracketsAndExtraWhiteSpace) {
    struct Case {
        const char* input;
        const char* expected;
    };
    for (const Case c : {Case{"a (b) [c] {d}", "a b c d"}, Case{"a\n\n  \t b", "a b"}, Case{"  (Hello) world!  ", "Hello world!"},
                         Case{"a(b)c", "abc"}, Case{"<a>", "<a>"}}) {
        EXPECT_EQ(sanitizeInput(c.input), c.expected) << c.input;
    }
    EXPECT_EQ(stripParentheses("f(x) = [y]{z}"), "fx = yz");
}

TEST(SynthesizerInputTest, EmptyInputIsRefusedWithItsReason) {
    struct Case {
        const char* input;
        const char* description;
    };
    for (const Case c : {Case{"   \n", "Processing failed: Input text is empty"},
                         Case{"( )", "Processing failed: Input text is empty after stripping parentheses"},
                         Case{"[]{}", "Processing failed: Input text is empty after stripping parentheses"}}) {
        try {
            sanitizeInput(c.input);
            ADD_FAILURE() << "accepted '" << c.input << "'";
        } catch (const TTSError& error) {
            EXPECT_EQ(error.kind(), TTSError::Kind::processingFailed);
            EXPECT_STREQ(error.what(), c.description);
        }
    }
}

// The word indices of the overrides of a marked-up text, once it is sanitised.
std::vector<std::pair<std::int64_t, std::string>> indicesAfterSanitizing(const std::string& markedUp) {
    const TtsPreprocessingResult preprocessed = TtsTextPreprocessor::preprocess(markedUp);
    std::vector<std::pair<std::int64_t, std::string>> indices;
    for (const auto& entry : overridesAfterSanitizing(preprocessed.text, preprocessed.phoneticOverrides)) {
        indices.emplace_back(entry.wordIndex, entry.word);
    }
    return indices;
}

TEST(SynthesizerInputTest, OverridesFollowTheirWordsWhenBracketsJoinWords) {
    platform::LogCapture log;
    using Indices = std::vector<std::pair<std::int64_t, std::string>>;
    // "a(b)c" is three words before and one after: the override of "cat" moves from 4 to 2.
    EXPECT_EQ(indicesAfterSanitizing("a(b)c the [cat](/kˈæt/)"), (Indices{{2, "cat"}}));
    // Brackets with spaces around them join nothing.
    EXPECT_EQ(indicesAfterSanitizing("a (b) c [cat](/kˈæt/)"), (Indices{{3, "cat"}}));
    // An override for the first part of a joined word names the joined word.
    EXPECT_EQ(indicesAfterSanitizing("x [cat](/kˈæt/)(s) and [dog](/dˈɔɡ/)"), (Indices{{1, "cat"}, {3, "dog"}}));
    // One joined word cannot take two pronunciations: the second goes, with a warning.
    EXPECT_EQ(indicesAfterSanitizing("[cat](/kˈæt/)([dog](/dˈɔɡ/)) sat"), (Indices{{0, "cat"}}));
    EXPECT_TRUE(log.contains("Dropping phonetic override for word 'dog'", "KokoroSynthesizer"));
}

}  // namespace
}  // namespace rarivoredu::KokoroSynthesizer
