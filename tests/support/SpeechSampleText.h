#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace testsupport {

// An English text of at least `words` words, the same every time: sentences of every length
// with numbers, money, dates, units, times, abbreviations, quotes and clause punctuation, line
// breaks between paragraphs, and now and then a long sentence with no punctuation at all.
inline std::string speechSampleText(int words) {
    static constexpr std::array<std::string_view, 24> kSentences{
        "The quick brown fox jumps over the lazy dog.",
        "Hello world!",
        "Mr. Smith paid $3.50 for coffee on 2024-05-01 at 7:30, then left.",
        "In the 1990s, people carried pagers; today they carry phones.",
        "The board is 6 ft long, 3 in thick and weighs 25 kg.",
        "Is it cold outside? It was -5 degrees, e.g. quite cold, at 8:00.",
        "She said \"we will see\" and walked away… slowly.",
        "Our revenue grew from $1,200,000 to $2.5 million in 3 years.",
        "Water boils at 100°C, which is 212°F at sea level.",
        "Read chapters 5-10 before Friday, i.e. by the end of the week.",
        "Dr. Jones, who lives on Elm Street, owns 2 cats, 3 dogs and a parrot named Polly.",
        "The ratio was one in three, not one in four.",
        "Temperatures reached 3.14 m below… no, that makes no sense!",
        "A truly remarkable and somewhat unexpected discovery was made by the team of researchers working "
        "deep in the northern forests during the long and particularly cold winter of that year.",
        "Yes.",
        "No way!",
        "Bring apples, pears, plums, etc. to the picnic.",
        "The meeting — scheduled for 10:15 — was moved to Tuesday.",
        "Prices rose 12.5 percent; wages rose 3 percent: not enough.",
        "He ran 10 km in 45 min and drank 500 ml of water afterwards.",
        "The 80's were loud, the mp3 was new and b2b was the word of the day.",
        "Wait.",
        "Why do rivers, which flow downhill, never run out of water?",
        "St. Louis is on the Mississippi River, which is very long.",
    };
    static constexpr std::array<std::string_view, 16> kRunOn{
        "and",  "then", "the",    "river", "kept", "flowing", "past",  "the",
        "old",  "mill", "where",  "we",    "used", "to",      "play", "together",
    };
    std::string text;
    int count = 0;
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const auto countWords = [](std::string_view sentence) {
        int n = 0;
        bool inWord = false;
        for (const char c : sentence) {
            const bool space = c == ' ';
            if (!space && !inWord) ++n;
            inWord = !space;
        }
        return n;
    };
    int sentencesInParagraph = 0;
    while (count < words) {
        if (!text.empty()) text += (sentencesInParagraph == 0) ? "\n\n" : " ";
        if (next() % 40 == 0) {
            // A long sentence without punctuation, which only a cut between words can split.
            std::string runOn = "So";
            for (int i = 0; i < 150; ++i) runOn += " " + std::string(kRunOn[static_cast<std::size_t>(i) % kRunOn.size()]);
            text += runOn + ".";
            count += 151;
        } else {
            const std::string_view sentence = kSentences[next() % kSentences.size()];
            text += sentence;
            count += countWords(sentence);
        }
        sentencesInParagraph = (sentencesInParagraph + 1) % 6;
    }
    return text;
}

}  // namespace testsupport
