#include "RarivOredu/tts/kokoro/KokoroScriptSource.h"

#include <algorithm>
#include <vector>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/tts/kokoro/KokoroScriptHelpers.h"
#include "RarivOredu/tts/kokoro/KokoroWeightNorm.h"

namespace rarivoredu {

namespace {

std::string str(long long value) { return std::to_string(value); }
std::string boolean(bool value) { return value ? "True" : "False"; }

std::string intList(const std::vector<int>& values) {
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) text += (i ? ", " : "") + str(values[i]);
    return text + "]";
}

// Writes the forward of one network, recording the weights it names.
class Emitter {
public:
    Emitter(const StateDict& weights, KokoroScriptSource& out) : w_(weights), names_(weights.names()), out_(out) {}

    void line(const std::string& text) { out_.source += "    " + text + "\n"; }

    // A weight as an expression: the buffer, or the weight computed from its weight-norm pair.
    std::string ref(const std::string& name) {
        if (!w_.contains(name) && w_.contains(name + "_v") && w_.contains(name + "_g")) {
            use(name + "_v");
            use(name + "_g");
            return "torch._weight_norm(self." + KokoroScriptSource::bufferName(name + "_v") + ", self." +
                   KokoroScriptSource::bufferName(name + "_g") + ", 0)";
        }
        use(name);
        return "self." + KokoroScriptSource::bufferName(name);
    }

    std::string list(const std::vector<std::string>& names) {
        std::string text = "[";
        for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", " : "") + ref(names[i]);
        return text + "]";
    }

    std::string lstm(const std::string& p) {
        std::vector<std::string> names;
        for (const char* direction : {"", "_reverse"}) {
            for (const char* part : {"weight_ih_l0", "weight_hh_l0", "bias_ih_l0", "bias_hh_l0"}) {
                names.push_back(p + "." + part + direction);
            }
        }
        return list(names);
    }

    static std::vector<std::string> adain(const std::string& p) {
        return {p + ".fc.weight", p + ".fc.bias", p + ".norm.weight", p + ".norm.bias"};
    }

    // `self.adain_resblk(x, s, [...], upsample, learned)` arguments after the style.
    std::string resblk(const std::string& p) {
        const bool upsample = KokoroWeightNorm::hasWeight(w_, p + ".pool.weight");
        const bool learned = KokoroWeightNorm::hasWeight(w_, p + ".conv1x1.weight");
        std::vector<std::string> names = adain(p + ".norm1");
        if (upsample) names.insert(names.end(), {p + ".pool.weight", p + ".pool.bias"});
        names.insert(names.end(), {p + ".conv1.weight", p + ".conv1.bias"});
        for (auto& n : adain(p + ".norm2")) names.push_back(n);
        names.insert(names.end(), {p + ".conv2.weight", p + ".conv2.bias"});
        if (learned) names.push_back(p + ".conv1x1.weight");
        return list(names) + ", " + boolean(upsample) + ", " + boolean(learned);
    }

    bool upsamples(const std::string& p) const { return KokoroWeightNorm::hasWeight(w_, p + ".pool.weight"); }

    std::string snake(const std::string& p, std::size_t blocks) {
        std::vector<std::string> names;
        for (std::size_t j = 0; j < blocks; ++j) {
            const std::string i = str(static_cast<long long>(j));
            for (auto& n : adain(p + ".adain1." + i)) names.push_back(n);
            names.insert(names.end(), {p + ".alpha1." + i, p + ".convs1." + i + ".weight", p + ".convs1." + i + ".bias"});
            for (auto& n : adain(p + ".adain2." + i)) names.push_back(n);
            names.insert(names.end(), {p + ".alpha2." + i, p + ".convs2." + i + ".weight", p + ".convs2." + i + ".bias"});
        }
        return list(names);
    }

    // How many numbered children `prefix.0.`, `prefix.1.`, … the weights hold.
    int count(const std::string& prefix) const {
        int n = 0;
        for (;;) {
            const std::string child = prefix + "." + str(n) + ".";
            const auto it = std::lower_bound(names_.begin(), names_.end(), child);
            if (it == names_.end() || it->rfind(child, 0) != 0) return n;
            ++n;
        }
    }

    std::int64_t dim(const std::string& weight, std::size_t axis) const {
        const auto shape = KokoroWeightNorm::weightShape(w_, weight);
        if (axis >= shape.size()) {
            throw CheckpointError::wrongShape(weight, std::vector<std::int64_t>(axis + 1, -1), shape);
        }
        return shape[axis];
    }

private:
    void use(const std::string& name) {
        (void)w_.shape(name);  // throws when absent
        out_.weights.insert(name);
    }

    const StateDict& w_;
    const std::vector<std::string> names_;  // in order
    KokoroScriptSource& out_;
};

}  // namespace

std::string KokoroScriptSource::bufferName(const std::string& weight) {
    std::string name = weight;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

KokoroScriptSource KokoroScriptSource::make(const StateDict& weights, const KokoroNetworkConfig& config,
                                            int tokens, int frameBudget) {
    KokoroScriptSource out;
    out.source = std::string(kokoroScriptHelpers) + "\n";
    Emitter e(weights, out);
    const auto L = [&](const std::string& text) { e.line(text); };

    const std::string style = str(e.dim("predictor.F0.0.norm1.fc.weight", 1));
    int scale = config.istftHop;
    for (const int rate : config.upsampleRates) scale *= rate;
    const int fft = config.istftFFT;
    const std::string bins = str(fft / 2 + 1);

    out.source += "def forward(self, input_ids: Tensor, attention_mask: Tensor, ref_s: Tensor, random_phases: Tensor) "
                  "-> Dict[str, Tensor]:\n";
    L("n = max(1, min(int(attention_mask[0].sum().item()), " + str(tokens) + "))");
    L("ids = input_ids[:, :n].long()");
    L("s = ref_s[:, " + style + ":]");
    L("style = ref_s[:, :" + style + "]");

    // Text model.
    std::vector<std::string> albert{"bert.embeddings.word_embeddings.weight", "bert.embeddings.position_embeddings.weight",
                                    "bert.embeddings.token_type_embeddings.weight", "bert.embeddings.LayerNorm.weight",
                                    "bert.embeddings.LayerNorm.bias", "bert.encoder.embedding_hidden_mapping_in.weight",
                                    "bert.encoder.embedding_hidden_mapping_in.bias"};
    for (const char* part : {"attention.query.weight", "attention.query.bias", "attention.key.weight",
                             "attention.key.bias", "attention.value.weight", "attention.value.bias",
                             "attention.dense.weight", "attention.dense.bias", "attention.LayerNorm.weight",
                             "attention.LayerNorm.bias", "ffn.weight", "ffn.bias", "ffn_output.weight",
                             "ffn_output.bias", "full_layer_layer_norm.weight", "full_layer_layer_norm.bias"}) {
        albert.push_back(std::string("bert.encoder.albert_layer_groups.0.albert_layers.0.") + part);
    }
    L("bert = self.albert(ids, " + e.list(albert) + ", " + str(config.attentionHeads) + ", " +
      str(config.albertLayers) + ")");
    L("d_en = torch.linear(bert, " + e.ref("bert_encoder.weight") + ", " + e.ref("bert_encoder.bias") + ")");

    // Duration encoder and durations.
    L("sx = s.unsqueeze(1).expand(1, n, s.size(1))");
    L("x = torch.cat([d_en, sx], -1)");
    const int durationLayers = e.count("predictor.text_encoder.lstms") / 2;
    for (int l = 0; l < durationLayers; ++l) {
        const std::string norm = "predictor.text_encoder.lstms." + str(2 * l + 1);
        L("x = self.bilstm(x, " + e.lstm("predictor.text_encoder.lstms." + str(2 * l)) + ")");
        L("x = self.ada_layer_norm(x, s, " + e.ref(norm + ".fc.weight") + ", " + e.ref(norm + ".fc.bias") + ")");
        L("x = torch.cat([x, sx], -1)");
    }
    L("d = x");
    L("x = self.bilstm(d, " + e.lstm("predictor.lstm") + ")");
    L("raw = torch.sigmoid(torch.linear(x, " + e.ref("predictor.duration_proj.linear_layer.weight") + ", " +
      e.ref("predictor.duration_proj.linear_layer.bias") + ")).sum(-1)");
    L("durations = torch.round(raw).clamp(min=1).long()[0]");
    L("frames = min(int(durations.sum().item()), " + str(frameBudget) + ")");
    L("aln = self.alignment(durations, " + str(frameBudget) + ")[:, :frames].unsqueeze(0)");

    // Pitch and energy.
    L("en = torch.matmul(d.transpose(-1, -2), aln)");
    L("shared = self.bilstm(en.transpose(-1, -2), " + e.lstm("predictor.shared") + ").transpose(-1, -2)");
    for (const auto& [branch, var] : {std::pair<std::string, std::string>{"F0", "f0"}, {"N", "energy"}}) {
        L(var + " = shared");
        for (int j = 0, blocks = e.count("predictor." + branch); j < blocks; ++j) {
            L(var + " = self.adain_resblk(" + var + ", s, " + e.resblk("predictor." + branch + "." + str(j)) + ")");
        }
        L(var + " = torch.conv1d(" + var + ", " + e.ref("predictor." + branch + "_proj.weight") + ", " +
          e.ref("predictor." + branch + "_proj.bias") + ").squeeze(1)");
    }

    // Text encoder.
    L("t = torch.embedding(" + e.ref("text_encoder.embedding.weight") + ", ids).transpose(1, 2)");
    for (int l = 0, layers = e.count("text_encoder.cnn"); l < layers; ++l) {
        const std::string p = "text_encoder.cnn." + str(l);
        const std::int64_t kernel = e.dim(p + ".0.weight", 2);
        L("t = torch.conv1d(t, " + e.ref(p + ".0.weight") + ", " + e.ref(p + ".0.bias") + ", [1], [" +
          str((kernel - 1) / 2) + "])");
        L("t = torch.leaky_relu(self.layer_norm_channels(t, " + e.ref(p + ".1.gamma") + ", " + e.ref(p + ".1.beta") +
          ", 1e-5), 0.2)");
    }
    L("t = self.bilstm(t.transpose(1, 2), " + e.lstm("text_encoder.lstm") + ").transpose(1, 2)");
    L("asr = torch.matmul(t, aln)");

    // Decoder.
    L("F0 = torch.conv1d(f0.unsqueeze(1), " + e.ref("decoder.F0_conv.weight") + ", " + e.ref("decoder.F0_conv.bias") +
      ", [2], [1])");
    L("N = torch.conv1d(energy.unsqueeze(1), " + e.ref("decoder.N_conv.weight") + ", " + e.ref("decoder.N_conv.bias") +
      ", [2], [1])");
    L("x = torch.cat([asr, F0, N], 1)");
    L("x = self.adain_resblk(x, style, " + e.resblk("decoder.encode") + ")");
    L("asr_res = torch.conv1d(asr, " + e.ref("decoder.asr_res.0.weight") + ", " + e.ref("decoder.asr_res.0.bias") + ")");
    bool residual = true;
    for (int j = 0, blocks = e.count("decoder.decode"); j < blocks; ++j) {
        const std::string p = "decoder.decode." + str(j);
        if (residual) L("x = torch.cat([x, asr_res, F0, N], 1)");
        L("x = self.adain_resblk(x, style, " + e.resblk(p) + ")");
        if (e.upsamples(p)) residual = false;
    }

    // Generator.
    const std::string g = "decoder.generator";
    L("up = torch.upsample_nearest1d(f0.unsqueeze(1), None, [" + str(scale) + ".0]).transpose(1, 2)");
    L("har = self.sine_source(up, random_phases, " + str(e.dim(g + ".m_source.l_linear.weight", 1)) + ", " +
      str(scale) + ", " + e.ref(g + ".m_source.l_linear.weight") + ", " + e.ref(g + ".m_source.l_linear.bias") +
      ").transpose(1, 2).squeeze(1)");
    L("window = torch.hann_window(" + str(fft) + ", periodic=True)");
    // Centred frames: the signal reflected by half a window at both ends.
    L("har = torch.reflection_pad1d(har.unsqueeze(1), [" + str(fft / 2) + ", " + str(fft / 2) + "]).squeeze(1)");
    L("spectrum = torch.stft(har, " + str(fft) + ", " + str(config.istftHop) + ", " + str(fft) +
      ", window, False, True, True)");
    L("har = torch.cat([spectrum.abs(), spectrum.angle()], 1)");
    const std::size_t kernels = config.resblockDilations.size();
    const std::size_t stages = config.upsampleRates.size();
    for (std::size_t i = 0; i < stages; ++i) {
        const std::string si = str(static_cast<long long>(i));
        const int rate = config.upsampleRates[i];
        const std::int64_t kernel = e.dim(g + ".ups." + si + ".weight", 2);
        int stride = 1;
        for (std::size_t r = i + 1; r < stages; ++r) stride *= config.upsampleRates[r];
        const int padding = i + 1 < stages ? (stride + 1) / 2 : 0;
        L("x = torch.leaky_relu(x, 0.1)");
        L("xs = torch.conv1d(har, " + e.ref(g + ".noise_convs." + si + ".weight") + ", " +
          e.ref(g + ".noise_convs." + si + ".bias") + ", [" + str(stride) + "], [" + str(padding) + "])");
        L("xs = self.snake_resblock(xs, style, " + e.snake(g + ".noise_res." + si, 3) + ", [1, 3, 5])");
        L("x = torch.conv_transpose1d(x, " + e.ref(g + ".ups." + si + ".weight") + ", " +
          e.ref(g + ".ups." + si + ".bias") + ", [" + str(rate) + "], [" + str((kernel - rate) / 2) + "])");
        if (i + 1 == stages) L("x = torch.reflection_pad1d(x, [1, 0])");
        L("x = x + xs");
        for (std::size_t j = 0; j < kernels; ++j) {
            const auto& dilations = config.resblockDilations[j];
            const std::string block = "self.snake_resblock(x, style, " +
                                      e.snake(g + ".resblocks." + str(static_cast<long long>(i * kernels + j)),
                                              dilations.size()) +
                                      ", " + intList(dilations) + ")";
            L((j == 0 ? "acc = " : "acc = acc + ") + block);
        }
        L("x = acc / " + str(static_cast<long long>(kernels)));
    }
    L("x = torch.leaky_relu(x, 0.01)");
    const std::int64_t postKernel = e.dim(g + ".conv_post.weight", 2);
    L("x = torch.conv1d(x, " + e.ref(g + ".conv_post.weight") + ", " + e.ref(g + ".conv_post.bias") + ", [1], [" +
      str((postKernel - 1) / 2) + "])");
    L("mag = torch.exp(x[:, :" + bins + "])");
    L("ph = torch.sin(x[:, " + bins + ":])");
    L("audio = torch.istft(torch.complex(mag * torch.cos(ph), mag * torch.sin(ph)), " + str(fft) + ", " +
      str(config.istftHop) + ", " + str(fft) + ", window)");
    L("samples = audio.size(-1)");
    L("out = torch.zeros([1, " + str(static_cast<long long>(frameBudget) * config.samplesPerFrame()) + "])");
    L("out[0, :samples] = audio[0]");
    L("spoken = torch.zeros([1, " + str(tokens) + "]).int()");
    L("spoken[0, :n] = durations.int()");
    L("return {\"audio\": out, \"audio_length_samples\": torch.tensor([samples]).int(), "
      "\"durations\": spoken}");
    return out;
}

}  // namespace rarivoredu
