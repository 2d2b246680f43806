#!/usr/bin/env python3
"""Writes the seed corpora of the fuzzing harnesses (fuzz/<harness>/corpus) from the test
fixtures and small hand-made files. Python's standard library only. Run from anywhere:
    python3 fuzz/make-seeds.py
Inputs of the harnesses that read several files hold them cut by SEPARATOR."""
import json
import os
import struct
import tarfile
import io
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIXTURES = os.path.join(ROOT, "tests", "fixtures")
SEPARATOR = b"\n=====\n"


def write(harness, name, data):
    folder = os.path.join(ROOT, "fuzz", harness, "corpus")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def fixture(*path):
    with open(os.path.join(FIXTURES, *path), "rb") as f:
        return f.read()


def clear(harness):
    folder = os.path.join(ROOT, "fuzz", harness, "corpus")
    if os.path.isdir(folder):
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))


# The pickle and the storages of a torch.save file, in key order, as the checkpoint harness takes them.
def checkpoint_parts(data, limit=16):
    z = zipfile.ZipFile(io.BytesIO(data))
    pickle = [n for n in z.namelist() if n.endswith("/data.pkl")][0]
    prefix = pickle[: -len("data.pkl")]
    parts = [z.read(pickle)]
    for key in range(limit):
        name = f"{prefix}data/{key}"
        if name not in z.namelist():
            break
        parts.append(z.read(name))
    return SEPARATOR.join(parts)


# tar -------------------------------------------------------------------------------------------
def tar_seeds():
    for form, name in [(tarfile.USTAR_FORMAT, "ustar"), (tarfile.GNU_FORMAT, "gnu"), (tarfile.PAX_FORMAT, "pax")]:
        out = io.BytesIO()
        with tarfile.open(fileobj=out, mode="w", format=form) as t:
            for member, data in [("./model_config.yaml", b"sample_rate: 16000\n"),
                                 ("./" + "long/" * 25 + "model_weights.ckpt", b"PK\x05\x06" + b"\0" * 18)]:
                info = tarfile.TarInfo(member)
                info.size = len(data)
                t.addfile(info, io.BytesIO(data))
            folder = tarfile.TarInfo("./voices")
            folder.type = tarfile.DIRTYPE
            t.addfile(folder)
        write("tar", name + ".tar", out.getvalue())


# zip -------------------------------------------------------------------------------------------
def zip_seeds():
    write("zip", "state_dict.pt", fixture("checkpoint", "state_dict.pt"))
    write("zip", "tensor.pt", fixture("checkpoint", "tensor.pt"))
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as z:
        z.writestr("a/data.pkl", b"\x80\x02}q\x00.")
        z.writestr("a/byteorder", b"little")
    write("zip", "small.zip", out.getvalue())


# checkpoint ------------------------------------------------------------------------------------
def checkpoint_seeds():
    for name in ["state_dict.pt", "nested.pt", "opaque.pt", "opaque-p5.pt", "tensor.pt"]:
        write("checkpoint", name, checkpoint_parts(fixture("checkpoint", name)))


# onnx ------------------------------------------------------------------------------------------
def varint(value):
    out = bytearray()
    value &= (1 << 64) - 1
    while True:
        byte = value & 0x7F
        value >>= 7
        out.append(byte | (0x80 if value else 0))
        if not value:
            return bytes(out)


def key(number, wire):
    return varint(number << 3 | wire)


def integer(number, value):
    return key(number, 0) + varint(value)


def field(number, content):
    if isinstance(content, str):
        content = content.encode()
    return key(number, 2) + varint(len(content)) + content


def onnx_seeds():
    weight = b"".join(integer(1, d) for d in [2, 3]) + integer(2, 1) + field(8, "encoder.0.reparam_conv.weight") + \
        field(9, struct.pack("<6f", 1, 2, 3, 4, 5, 6))
    typed = integer(1, 2) + integer(2, 1) + field(8, "typed") + field(4, struct.pack("<2f", 0.5, -0.5))
    ints = integer(1, 2) + integer(2, 7) + field(7, varint(4) + varint(-2 & ((1 << 64) - 1)))
    doubles = integer(1, 1) + integer(2, 11) + field(8, "d") + field(10, struct.pack("<d", 0.25))
    constant = field(2, "shape") + field(4, "Constant") + field(5, field(1, "value") + field(5, ints) + integer(20, 4))
    branch = field(2, "then") + field(1, field(2, "inner") + field(4, "Constant") +
                                      field(5, field(1, "value") + field(5, typed) + integer(20, 4)))
    if_node = field(1, "cond") + field(2, "out") + field(4, "If") + \
        field(5, field(1, "then_branch") + field(6, branch) + integer(20, 5)) + \
        field(5, field(1, "axes") + integer(8, 1) + integer(8, 3) + integer(20, 7)) + \
        field(5, field(1, "alpha") + key(2, 5) + struct.pack("<f", 0.2) + integer(20, 1))
    graph = field(2, "main") + field(5, weight) + field(5, doubles) + field(1, constant) + field(1, if_node) + \
        field(11, field(1, "cond")) + field(12, field(1, "out"))
    model = integer(1, 8) + field(2, "seed") + field(8, field(1, "") + integer(2, 16)) + field(7, graph)
    write("onnx", "model.onnx", model)
    write("onnx", "empty-graph.onnx", integer(1, 8) + field(7, b""))


# Parakeet configuration -----------------------------------------------------------------------
def parakeet_seeds():
    with tarfile.open(os.path.join(FIXTURES, "asr", "tiny-parakeet-tdt.nemo")) as t:
        member = [m for m in t.getmembers() if m.name.endswith("model_config.yaml")][0]
        yaml = t.extractfile(member).read()
    write("parakeet_config", "tiny.yaml", yaml)
    write("parakeet_config", "flow.yaml", b"encoder: {n_layers: 2, d_model: 64}\nlist: [1, 2.5, null, ~, 'x', \"y\"]\n")


# Kokoro configuration and weights ------------------------------------------------------------------
def torch_pickle(tensors):
    """A protocol-2 pickle of {part: {name: tensor}} as torch.save writes it, every tensor a
    one-dimensional float32 view of storage 0."""
    def unicode(text):
        data = text.encode()
        return b"X" + struct.pack("<I", len(data)) + data

    def tensor(size):
        return (b"ctorch._utils\n_rebuild_tensor_v2\n(" + b"(" + unicode("storage") + b"ctorch\nFloatStorage\n" +
                unicode("0") + unicode("cpu") + b"K\x40tQ" + b"K\x00" + b"K" + bytes([size]) + b"\x85" +
                b"K\x01\x85" + b"\x89" + b"ccollections\nOrderedDict\n)R" + b"tR")

    out = b"\x80\x02}("
    for part, names in tensors.items():
        out += unicode(part) + b"ccollections\nOrderedDict\n)R("
        for name, size in names:
            out += unicode(name) + tensor(size)
        out += b"u"
    return out + b"u."


def kokoro_seeds():
    config = fixture("tts", "kokoro", "config.json")
    weights = torch_pickle({
        "bert": [("module.embeddings.word_embeddings.weight", 8)],
        "bert_encoder": [("module.weight", 8), ("module.bias", 2)],
        "predictor": [("module.F0_proj.weight", 4)],
        "text_encoder": [("module.embedding.weight", 8)],
        "decoder": [("module.generator.conv_post.weight_v", 6), ("module.generator.conv_post.weight_g", 1)],
    })
    write("kokoro", "tiny.seed", SEPARATOR.join([config, weights, struct.pack("<64f", *range(64))]))
    write("kokoro", "tensor.seed", SEPARATOR.join([b"{}", checkpoint_parts(fixture("checkpoint", "tensor.pt"))]))


# hub listing -----------------------------------------------------------------------------------
def hub_seeds():
    listing = [
        {"type": "directory", "oid": "1f" * 20, "size": 0, "path": "Encoder.mlmodelc"},
        {"type": "file", "oid": "ab" * 20, "size": 1234, "path": "config.json"},
        {"type": "file", "oid": "cd" * 20, "size": 134, "path": "kokoro-v1_0.pth",
         "lfs": {"oid": "0123456789abcdef" * 4, "size": 327212226, "pointerSize": 134}},
        {"type": "file", "size": 5, "path": "voices/af_heart.pt", "lfs": {"sha256": "AB" * 32, "size": 523}},
    ]
    write("hub_listing", "listing.json", json.dumps(listing))
    write("hub_listing", "empty.json", "[]")


# bundle description and vocabularies ------------------------------------------------------------
def bundle_seeds():
    description = {
        "format": "rarivoredu-mlmodel", "formatVersion": 1, "engine": "torchscript", "threads": "blas",
        "inputs": [{"name": "audio_signal", "type": "multiArray", "dataType": "float32", "shape": [1, 240000],
                    "sizeRanges": [[1, 1], [1, 240000]], "optional": False},
                   {"name": "audio_length", "type": "multiArray", "dataType": "int32", "shape": [1]}],
        "outputs": [{"name": "mel", "type": "multiArray", "dataType": "float32", "shape": []}],
        "metadata": {"author": "seed"},
    }
    in_process = dict(description, engine="in-process", inProcessName="echo", threads="torch")
    parakeet = {"0": "<unk>", "1": "▁the", "2": "s", "7": "▁x"}
    kokoro = {"vocab": {";": 1, ":": 2, "a": 43, "ˈ": 156, "ə": 83}}
    write("bundle", "bundle.seed", SEPARATOR.join(json.dumps(x, ensure_ascii=False).encode()
                                                   for x in [description, parakeet, kokoro]))
    write("bundle", "in-process.seed", SEPARATOR.join([json.dumps(in_process).encode(), b"{}",
                                                       fixture("tts", "vocab_index.json")]))


# misaki word lists and the lexicon cache ----------------------------------------------------------
def lexicon_seeds():
    gold = {"hello": "həlˈO", "Paris": "pˈɛɹɪs", "read": {"DEFAULT": "ɹˈid", "VBD": "ɹˈɛd"}, "a": "ˈA",
            "the": "ðˈi", "NASA": "nˈæsə", "x": None}
    silver = {"hello": "hɛlˈO", "zebra": "zˈibɹə", "I": "ˈI"}
    cache = {"lower": {"hello": ["h", "ə", "l", "ˈ", "O"]}, "caseSensitive": {"NASA": ["n", "ˈ", "æ", "s", "ə"]}}
    write("lexicon", "lists.seed", SEPARATOR.join(json.dumps(x, ensure_ascii=False).encode() for x in [gold, silver, cache]))


# defaults.json -----------------------------------------------------------------------------------
def defaults_seeds():
    first = {"recordingMode": "hold", "pasteInPlaceMode": True, "primaryHotkeyKeyCode": 49,
             "speed": 1.5, "nan": {"double": "nan"}, "TranscriptionHistory": {"data": "W10="},
             "odd": [1, {"a": None}]}
    second = dict(first, recordingMode="toggle", speed=2.0)
    write("defaults", "defaults.seed", SEPARATOR.join(json.dumps(x).encode() for x in [first, second]))
    write("defaults", "broken.seed", b"{\"a\": tr" + SEPARATOR + b"{}")


# history and statistics ------------------------------------------------------------------------------
def records_seeds():
    history = [
        {"id": "3F2504E0-4F89-11D3-9A0C-0305E82C3301", "text": "Hallo Welt.\n\nNeue Zeile", "timestamp": 786297600.5,
         "duration": 4.3, "charCount": 11, "wordCount": 2, "language": "de", "rtf": 0.05, "inferenceTime": 0.2},
        {"id": "3F2504E0-4F89-11D3-9A0C-0305E82C3302", "text": "x", "timestamp": -1.0e300, "duration": 1e308,
         "charCount": 1, "wordCount": 1},
    ]
    statistics = {"totalRecordings": 4, "totalDuration": 190.5, "totalCharacters": 1310, "totalWords": 266,
                  "totalInferenceTime": 8.81, "fastestInference": 1.31, "slowestInference": 4.5, "totalRTF": 0.17,
                  "rtfCount": 3, "languageCount": {"de": 2, "en": 1}, "firstUse": 786297600.0,
                  "lastUse": 786470400.0, "sessionsCount": 0, "currentStreak": 3, "longestStreak": 3}
    write("records", "records.seed", SEPARATOR.join(json.dumps(x, ensure_ascii=False).encode() for x in [history, statistics]))


# audio ---------------------------------------------------------------------------------------------
def audio_seeds():
    for name in ["tone440.wav", "tone440.aiff", "tone440.caf", "tone440.mp3", "tone440.m4a"]:
        data = fixture("audio", name)
        write("audio", name, data[:4096] if name.endswith((".wav", ".aiff", ".caf")) else data)
    frames = 64
    samples = struct.pack("<%dh" % (frames * 3), *([1000, -1000, 0] * frames))
    header = b"RIFF" + struct.pack("<I", 36 + len(samples)) + b"WAVEfmt " + \
        struct.pack("<IHHIIHH", 16, 1, 3, 44100, 44100 * 6, 6, 16) + b"data" + struct.pack("<I", len(samples))
    write("audio", "three-channels.wav", header + samples)


# text front end ------------------------------------------------------------------------------------
def text_seeds():
    texts = [
        "Hello world. On 12/25/2024 at 3:30 pm, it cost $1,234.56 (about 12.5%).",
        "Mr. Smith ran 5 km in 20 min, e.g. 1990-1995; see [NASA](nasa) and [tomato](/təmˈɑːtO/).",
        "Line one\nline two\n\nThe end… “Quoted”, isn't it? 3rd of 4th; 10:45.",
    ]
    for i, text in enumerate(texts):
        write("text", f"text{i}.txt", text)


for harness, make in [("tar", tar_seeds), ("zip", zip_seeds), ("checkpoint", checkpoint_seeds), ("onnx", onnx_seeds),
                      ("parakeet_config", parakeet_seeds), ("kokoro", kokoro_seeds), ("hub_listing", hub_seeds),
                      ("bundle", bundle_seeds), ("lexicon", lexicon_seeds), ("defaults", defaults_seeds),
                      ("records", records_seeds), ("audio", audio_seeds), ("text", text_seeds)]:
    clear(harness)
    make()
