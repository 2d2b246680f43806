#include "RarivOredu/tts/kokoro/KokoroScriptHelpers.h"

namespace rarivoredu {

const char* const kokoroScriptHelpers = R"TS(
def adain(self, x: Tensor, s: Tensor, p: List[Tensor], o: int) -> Tensor:
    h = torch.linear(s, p[o], p[o + 1]).unsqueeze(2)
    c = x.size(1)
    xn = torch.instance_norm(x, p[o + 2], p[o + 3], None, None, True, 0.1, 1e-5, False)
    return (1.0 + h[:, :c]) * xn + h[:, c:]

def adain_resblk(self, x: Tensor, s: Tensor, p: List[Tensor], upsample: bool, learned: bool) -> Tensor:
    r = self.adain(x, s, p, 0)
    r = torch.leaky_relu(r, 0.2)
    o = 4
    if upsample:
        r = torch.conv_transpose1d(r, p[o], p[o + 1], 2, 1, 1, r.size(1))
        o = o + 2
    r = torch.conv1d(r, p[o], p[o + 1], 1, 1)
    r = self.adain(r, s, p, o + 2)
    r = torch.leaky_relu(r, 0.2)
    r = torch.conv1d(r, p[o + 6], p[o + 7], 1, 1)
    h = x
    if upsample:
        h = torch.upsample_nearest1d(h, None, [2.0])
    if learned:
        h = torch.conv1d(h, p[o + 8])
    return (r + h) * torch.rsqrt(torch.tensor(2.0))

def snake_resblock(self, x: Tensor, s: Tensor, p: List[Tensor], dilations: List[int]) -> Tensor:
    for j in range(len(dilations)):
        o = 14 * j
        d = dilations[j]
        k = p[o + 5].size(2)
        xt = self.adain(x, s, p, o)
        a1 = p[o + 4]
        xt = xt + (1 / a1) * (torch.sin(a1 * xt) ** 2)
        xt = torch.conv1d(xt, p[o + 5], p[o + 6], 1, (k * d - d) // 2, d)
        xt = self.adain(xt, s, p, o + 7)
        a2 = p[o + 11]
        xt = xt + (1 / a2) * (torch.sin(a2 * xt) ** 2)
        xt = torch.conv1d(xt, p[o + 12], p[o + 13], 1, (k - 1) // 2, 1)
        x = xt + x
    return x

def bilstm(self, x: Tensor, p: List[Tensor]) -> Tensor:
    h = p[1].size(1)
    zeros = torch.zeros(2, x.size(0), h, dtype=x.dtype)
    out = torch.lstm(x, [zeros, zeros], p, True, 1, 0.0, False, True, True)
    return out[0]

def layer_norm_channels(self, x: Tensor, w: Tensor, b: Tensor, eps: float) -> Tensor:
    y = x.transpose(1, -1)
    y = torch.layer_norm(y, [y.size(-1)], w, b, eps)
    return y.transpose(1, -1)

def ada_layer_norm(self, x: Tensor, s: Tensor, w: Tensor, b: Tensor) -> Tensor:
    c = x.size(2)
    h = torch.linear(s, w, b).unsqueeze(1)
    y = torch.layer_norm(x, [c], None, None, 1e-5)
    return (1.0 + h[:, :, :c]) * y + h[:, :, c:]

def albert(self, ids: Tensor, p: List[Tensor], heads: int, layers: int) -> Tensor:
    n = ids.size(1)
    e = torch.embedding(p[0], ids) + p[1][:n].unsqueeze(0) + p[2][0]
    e = torch.layer_norm(e, [e.size(2)], p[3], p[4], 1e-12)
    x = torch.linear(e, p[5], p[6])
    width = x.size(2)
    d = width // heads
    scale = float(d) ** 0.5
    for i in range(layers):
        q = torch.linear(x, p[7], p[8]).view(1, n, heads, d).permute(0, 2, 1, 3)
        k = torch.linear(x, p[9], p[10]).view(1, n, heads, d).permute(0, 2, 1, 3)
        v = torch.linear(x, p[11], p[12]).view(1, n, heads, d).permute(0, 2, 1, 3)
        attention = torch.softmax(torch.matmul(q, k.transpose(-1, -2)) / scale, -1)
        context = torch.matmul(attention, v).transpose(1, 2).flatten(2)
        a = torch.layer_norm(x + torch.linear(context, p[13], p[14]), [width], p[15], p[16], 1e-12)
        f = torch.linear(a, p[17], p[18])
        f = 0.5 * f * (1.0 + torch.tanh(0.7978845608028654 * (f + 0.044715 * torch.pow(f, 3.0))))
        f = torch.linear(f, p[19], p[20])
        x = torch.layer_norm(f + a, [width], p[21], p[22], 1e-12)
    return x

def alignment(self, durations: Tensor, budget: int) -> Tensor:
    ends = torch.cumsum(durations, 0)
    starts = ends - durations
    frame = torch.arange(budget, dtype=durations.dtype).unsqueeze(0)
    return ((frame >= starts.unsqueeze(1)) & (frame < ends.unsqueeze(1))).float()

def sine_source(self, f0: Tensor, phases: Tensor, harmonics: int, scale: int, w: Tensor, b: Tensor) -> Tensor:
    fn = f0 * torch.arange(1, harmonics + 1).float().view(1, 1, harmonics)
    rad = torch.remainder(fn / 24000, 1)
    rad[:, 0, :] = rad[:, 0, :] + phases
    rad = torch.upsample_linear1d(rad.transpose(1, 2), None, False, [1.0 / scale]).transpose(1, 2)
    phase = torch.cumsum(rad, 1) * 2 * 3.141592653589793
    phase = torch.upsample_linear1d(phase.transpose(1, 2) * scale, None, False, [float(scale)]).transpose(1, 2)
    sines = torch.sin(phase) * 0.1
    uv = (f0 > 10).float()
    return torch.tanh(torch.linear(sines * uv, w, b))
)TS";

}  // namespace rarivoredu
