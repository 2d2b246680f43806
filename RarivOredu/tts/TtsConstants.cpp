#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu {

const std::vector<std::string>& TtsConstants::availableVoices() {
    static const std::vector<std::string> voices = {
        "af_alloy",     "af_aoede",      "af_bella",    "af_heart",    "af_jessica",  "af_kore",
        "af_nicole",    "af_nova",       "af_river",    "af_sarah",    "af_sky",      "am_adam",
        "am_echo",      "am_eric",       "am_fenrir",   "am_liam",     "am_michael",  "am_onyx",
        "am_puck",      "am_santa",      "bf_alice",    "bf_emma",     "bf_isabella", "bf_lily",
        "bm_daniel",    "bm_fable",      "bm_george",   "bm_lewis",    "ef_dora",     "em_alex",
        "em_santa",     "ff_siwis",      "hf_alpha",    "hf_beta",     "hm_omega",    "hm_psi",
        "if_sara",      "im_nicola",     "jf_alpha",    "jf_gongitsune", "jf_nezumi", "jf_tebukuro",
        "jm_kumo",      "pf_dora",       "pm_alex",     "pm_santa",    "zf_xiaobei",  "zf_xiaoni",
        "zf_xiaoxiao",  "zf_xiaoyi",     "zm_yunjian",  "zm_yunxi",    "zm_yunxia",   "zm_yunyang",
    };
    return voices;
}

const std::set<char32_t>& TtsConstants::parentheticalDelimiters() {
    static const std::set<char32_t> delimiters = {U'(', U')', U'[', U']', U'{', U'}'};
    return delimiters;
}

const platform::NSRegularExpression& TtsConstants::whitespaceRegex() {
    static const platform::NSRegularExpression regex("\\s+");
    return regex;
}

}  // namespace rarivoredu
