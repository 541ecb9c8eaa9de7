#!/usr/bin/python3
"""Trains the threefold super-resolution network the program carries and
writes it as enhance/sr_model_data.inc (the software NPU's model format, see
platform/npu/hlnm_format.h) and enhance/sr_model.onnx (for a board team's
model compiler).

    tools/setup-deps.sh tools/packages-training.txt
    cmake --build build --target scenerender
    tools/srtrain/train.py [--build build] [--steps 8000] [--threads 2]

CPU only, fixed seeds: the same packages, steps and thread count give the
same bytes. A sensor pixel integrates its area, so every training pair is a
high-resolution picture and the same picture reduced by 3 x 3 area averaging,
with the sensor's noise (temporal and a column pattern), quantised to 8 bits
as the frame reaches the network. The pictures are natural photographs
(Debian's mate-backgrounds) and the simulator's scenes rendered at three
times the sensor's resolution (tools/scenerender). Two photographs and the
scenes of tools/sreval/scenes are never trained on: they are the held-out set.
"""
import argparse
import glob
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

import numpy as np
import torch
import torch.nn as nn
import torch.nn.functional as F
from PIL import Image

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PHOTOS = "/usr/share/backgrounds/mate/nature/*.jpg"
HELD_OUT_PHOTOS = {"Storm.jpg", "Wood.jpg"}
SCENES = ["bench", "field"]
SCALE = 3
IN_H, IN_W = 192, 256
SEED = 25


class Net(nn.Module):
    """Two convolutions with tanh, a sub-pixel convolution, depth-to-space."""

    def __init__(self, c1, c2, k1=5, k2=3, k3=3):
        super().__init__()
        pad = dict(padding_mode="replicate")
        self.feature_maps = nn.Sequential(
            nn.Conv2d(1, c1, k1, padding=k1 // 2, **pad), nn.Tanh(),
            nn.Conv2d(c1, c2, k2, padding=k2 // 2, **pad), nn.Tanh())
        self.sub_pixel = nn.Sequential(
            nn.Conv2d(c2, SCALE * SCALE, k3, padding=k3 // 2, **pad),
            nn.PixelShuffle(SCALE))

    def forward(self, x):
        return self.sub_pixel(self.feature_maps(x))

    def start_as_interpolator(self, gain=0.2):
        """Starts training from a plain interpolator rather than from noise.

        Feature 0 of both maps carries the input itself, scaled down to where
        tanh is nearly straight; the sub-pixel convolution reads it back with
        the 3 x 3 quadratic interpolation weights of each output phase. The
        other features start small, so the network begins about as good as
        interpolation and training only has to add what interpolation lacks
        (without this it spends its steps learning to reproduce smooth
        ramps, and stays worse than bicubic on them).
        """
        c1, c2, sp = self.feature_maps[0], self.feature_maps[2], self.sub_pixel[0]
        with torch.no_grad():
            for conv in (c1, c2, sp):
                conv.weight.mul_(0.1)
                conv.bias.zero_()
            k1, k2, k3 = c1.kernel_size[0], c2.kernel_size[0], sp.kernel_size[0]
            c1.weight[0].zero_()
            c1.weight[0, 0, k1 // 2, k1 // 2] = gain
            c1.bias[0] = -0.5 * gain  # luma 0..1 around 0
            c2.weight[0].zero_()
            c2.weight[0, 0, k2 // 2, k2 // 2] = 1.0
            assert k3 == 3

            def phase(d):  # quadratic through the pixels at -1, 0, +1
                return [d * (d - 1) / 2, 1 - d * d, d * (d + 1) / 2]

            for i in range(SCALE):
                for j in range(SCALE):
                    wy, wx = phase((i - 1) / SCALE), phase((j - 1) / SCALE)
                    ch = i * SCALE + j
                    sp.weight[ch, 0] = torch.tensor(
                        [[wy[u] * wx[v] / gain for v in range(3)] for u in range(3)])
                    sp.bias[ch] = 0.5


class Deployed(nn.Module):
    """The network as the program runs it: output clipped to 0..1."""

    def __init__(self, net):
        super().__init__()
        self.net = net

    def forward(self, x):
        return torch.clamp(self.net(x), 0.0, 1.0)


def grey(path):
    im = Image.open(path).convert("RGB")
    a = np.asarray(im, dtype=np.float32) / 255.0
    return a[..., 0] * 0.299 + a[..., 1] * 0.587 + a[..., 2] * 0.114


def area_down(a, f):
    h, w = a.shape[0] // f * f, a.shape[1] // f * f
    return a[:h, :w].reshape(h // f, f, w // f, f).mean(axis=(1, 3))


def load_pictures(build):
    photos = []
    for p in sorted(glob.glob(PHOTOS)):
        if os.path.basename(p) in HELD_OUT_PHOTOS:
            continue
        g = grey(p)
        # The full photograph and a half-size copy: more structure per pixel.
        photos += [g, area_down(g, 2)]
    if not photos:
        sys.exit("train: no photographs in %s (install tools/packages-training.txt)" % PHOTOS)
    tool = os.path.join(build, "tools", "scenerender", "scenerender")
    if not os.access(tool, os.X_OK):
        sys.exit("train: %s missing (cmake --build %s --target scenerender)" % (tool, build))
    with tempfile.TemporaryDirectory() as d:
        subprocess.run([tool, d, "48"] + SCENES, check=True)
        scenes = [grey(p) for p in sorted(glob.glob(os.path.join(d, "*.png")))]
    return photos, scenes


def make_batch(rng, photos, scenes, n, patch):
    """High-resolution crops and their sensor-size versions, as tensors."""
    hp = patch * SCALE
    hr = np.empty((n, 1, hp, hp), np.float32)
    for i in range(n):
        pool = scenes if i % 2 == 0 else photos
        a = pool[rng.integers(len(pool))]
        y = rng.integers(0, a.shape[0] - hp + 1)
        x = rng.integers(0, a.shape[1] - hp + 1)
        c = a[y:y + hp, x:x + hp]
        if rng.random() < 0.5:
            c = c[:, ::-1]
        if rng.random() < 0.5:
            c = c[::-1, :]
        if pool is photos and rng.random() < 0.5:
            # contrast and level vary as the core's gain follows the scene
            c = np.clip((c - c.mean()) * rng.uniform(0.6, 1.6) + rng.uniform(0.2, 0.8), 0, 1)
        hr[i, 0] = c
    hr = np.round(hr * 255.0) / 255.0
    lr = hr.reshape(n, 1, patch, SCALE, patch, SCALE).mean(axis=(3, 5))
    # Sensor noise: temporal, and a fixed pattern along columns.
    temporal = rng.uniform(0.0, 1.0, (n, 1, 1, 1)) / 255.0
    column = rng.uniform(0.0, 0.5, (n, 1, 1, 1)) / 255.0
    lr = lr + rng.standard_normal(lr.shape) * temporal \
        + rng.standard_normal((n, 1, 1, patch)) * column
    lr = np.clip(np.round(lr * 255.0), 0, 255) / 255.0
    return torch.from_numpy(lr.astype(np.float32)), torch.from_numpy(hr)


def psnr(mse):
    return 10 * np.log10(1.0 / max(mse, 1e-12))


# ---- the software NPU's model format --------------------------------------

INT8, NCHW, NHWC = 2, 0, 1
CONV, TANH, DEPTH_TO_SPACE, CLIP = 1, 2, 3, 4
PAD_REPLICATE = 1


def tensor(name, h, w, layout):
    return struct.pack("<32s4IIifI", name.encode(), 1, 1, h, w, INT8, -128,
                       np.float32(1.0 / 255.0), layout)


def layer(kind, name, params=(0, 0, 0, 0), values=(0.0, 0.0), weights=None):
    w = np.zeros(0, np.float32) if weights is None else weights.astype("<f4")
    return struct.pack("<I16s4I2fI", kind, name.encode(), *params, *values, w.size) + w.tobytes()


def conv_layer(name, conv):
    wts = np.concatenate([conv.weight.detach().numpy().ravel(), conv.bias.detach().numpy()])
    k = conv.kernel_size[0]
    return layer(CONV, name, (conv.in_channels, conv.out_channels, k, PAD_REPLICATE), weights=wts)


def hlnm(net):
    fm, sp = net.feature_maps, net.sub_pixel
    layers = [conv_layer("feature_maps.0", fm[0]), layer(TANH, "tanh"),
              conv_layer("feature_maps.2", fm[2]), layer(TANH, "tanh"),
              conv_layer("sub_pixel", sp[0]), layer(DEPTH_TO_SPACE, "depth_to_space", (SCALE, 0, 0, 0)),
              layer(CLIP, "clip", values=(0.0, 1.0))]
    body = tensor("input", IN_H, IN_W, NHWC) + tensor("output", IN_H * SCALE, IN_W * SCALE, NCHW)
    body += b"".join(layers)
    head = struct.pack("<4sIIII3I", b"HLNM", 1, 32 + len(body), zlib.crc32(body) & 0xFFFFFFFF,
                       len(layers), 0, 0, 0)
    return head + body


def write_inc(blob, path, what):
    with open(path, "w") as f:
        f.write("// Generated by tools/srtrain/train.py: %s, %d bytes.\n// Do not edit.\n"
                "alignas(16) static const unsigned char kSrModelBytes[%d] = {"
                % (what, len(blob), len(blob)))
        for i, b in enumerate(blob):
            f.write(("\n    " if i % 16 == 0 else " ") + "0x%02x," % b)
        f.write("\n};\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--build", default=os.path.join(TOP, "build"))
    ap.add_argument("--steps", type=int, default=8000)
    ap.add_argument("--threads", type=int, default=2)
    ap.add_argument("--widths", default="8,8", help="channels of the two feature maps")
    ap.add_argument("--batch", type=int, default=32)
    ap.add_argument("--patch", type=int, default=24, help="sensor pixels per side of a sample")
    ap.add_argument("--out", default=os.path.join(TOP, "enhance"))
    args = ap.parse_args()

    torch.set_num_threads(args.threads)
    torch.manual_seed(SEED)
    torch.use_deterministic_algorithms(True)
    rng = np.random.default_rng(SEED)
    photos, scenes = load_pictures(args.build)
    print("train: %d photographs (with half-size copies), %d scene pictures"
          % (len(photos), len(scenes)), flush=True)

    c1, c2 = (int(v) for v in args.widths.split(","))
    net = Net(c1, c2)
    net.start_as_interpolator()
    opt = torch.optim.Adam(net.parameters(), lr=1e-3)
    sched = torch.optim.lr_scheduler.OneCycleLR(opt, max_lr=1e-3, total_steps=args.steps,
                                                pct_start=0.1)
    # A fixed batch to follow progress (training pictures, not the held-out set).
    val_lr, val_hr = make_batch(np.random.default_rng(SEED + 1), photos, scenes, 128, 32)
    margin = 4 * SCALE  # the edge where replicated padding, not the picture, decides
    start = time.time()
    for step in range(1, args.steps + 1):
        lr, hr = make_batch(rng, photos, scenes, args.batch, args.patch)
        out = net(lr)
        loss = F.mse_loss(out[..., margin:-margin, margin:-margin],
                          hr[..., margin:-margin, margin:-margin])
        opt.zero_grad()
        loss.backward()
        opt.step()
        sched.step()
        if step % 500 == 0 or step == args.steps:
            with torch.no_grad():
                v = Deployed(net)(val_lr)
                mse = F.mse_loss(v[..., margin:-margin, margin:-margin],
                                 val_hr[..., margin:-margin, margin:-margin]).item()
            print("step %5d  loss %.6f  check %.2f dB  %.0f s"
                  % (step, loss.item(), psnr(mse), time.time() - start), flush=True)

    net.eval()
    blob = hlnm(net)
    what = "the trained threefold network (%d, %d feature maps), seed %d, %d steps" % (
        c1, c2, SEED, args.steps)
    write_inc(blob, os.path.join(args.out, "sr_model_data.inc"), what)
    onnx_path = os.path.join(args.out, "sr_model.onnx")
    torch.onnx.export(Deployed(net), torch.zeros(1, 1, IN_H, IN_W), onnx_path,
                      input_names=["input"], output_names=["output"], opset_version=13)
    try:
        import onnx
        onnx.checker.check_model(onnx.load(onnx_path))
    except ImportError:
        print("train: python3-onnx missing, %s not checked" % onnx_path)
    print("train: wrote %d bytes of model and %s" % (len(blob), onnx_path))


if __name__ == "__main__":
    main()
