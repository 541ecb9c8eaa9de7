#!/usr/bin/python3
"""Writes the super-resolution network the program carries as an ONNX file, the
file a board team compiles for the board's NPU with the vendor's toolkit
(docs/board.md):

    tools/sr-model-onnx [MODEL] OUT.onnx   (this script, after its packages)

MODEL is a model in our format (platform/npu/hlnm_format.h): a binary file
(build-armhf/board/rv1126b.rknn, as the board image carries it) or the C
array of enhance/sr_model_data.inc (the default). The graph has the same
input "input" (1x1x192x256, luma / 255) and output "output" (1x1x576x768,
0..1) and the same layers: convolutions (edge-replicating ones get a Pad in
front), tanh, depth-to-space (DCR) and the final clip. Needs python3-onnx
(tools/packages-npu.txt, installed by tools/sr-model-onnx).
"""
import os
import re
import struct
import sys
import zlib

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

HEADER = struct.Struct("<4sIIII12x")
TENSOR = struct.Struct("<32s4IIifI")
LAYER = struct.Struct("<I16s4I2fI")
CONV, TANH, DEPTH_TO_SPACE, CLIP = 1, 2, 3, 4
PAD_REPLICATE = 1


def read_model(path):
    data = open(path, "rb").read()
    if not data.startswith(b"HLNM"):
        text = data.decode("ascii", "replace")
        body = text[text.find("{") + 1:text.rfind("}")]
        data = bytes(int(h, 16) for h in re.findall(r"0x([0-9a-fA-F]{1,2})", body))
    magic, version, total, crc, count = HEADER.unpack_from(data, 0)
    if magic != b"HLNM" or version != 1 or total != len(data):
        sys.exit(f"{path}: not a model of our format")
    if zlib.crc32(data[HEADER.size:]) != crc:
        sys.exit(f"{path}: checksum mismatch")
    at = HEADER.size
    tensors = []
    for _ in range(2):
        name, *rest = TENSOR.unpack_from(data, at)
        tensors.append((name.rstrip(b"\0").decode(), rest[:4]))
        at += TENSOR.size
    layers = []
    for _ in range(count):
        kind, name, p0, p1, p2, p3, low, high, n = LAYER.unpack_from(data, at)
        at += LAYER.size
        weights = np.frombuffer(data, "<f4", n, at).astype(np.float32)
        at += 4 * n
        layers.append((kind, name.rstrip(b"\0").decode(), (p0, p1, p2, p3), (low, high), weights))
    return tensors, layers


def build_graph(tensors, layers):
    (in_name, in_dims), (out_name, out_dims) = tensors
    nodes, inits = [], []
    x = in_name
    for i, (kind, name, p, value, w) in enumerate(layers):
        y = out_name if i == len(layers) - 1 else f"{name or 'layer'}_{i}"
        if kind == CONV:
            cin, cout, k, padding = p
            weight = w[: cout * cin * k * k].reshape(cout, cin, k, k)
            bias = w[cout * cin * k * k:]
            inits += [numpy_helper.from_array(weight, f"{y}_w"), numpy_helper.from_array(bias, f"{y}_b")]
            half = k // 2
            src = x
            if padding == PAD_REPLICATE and half:
                pads = np.array([0, 0, half, half, 0, 0, half, half], np.int64)
                inits.append(numpy_helper.from_array(pads, f"{y}_pads"))
                nodes.append(helper.make_node("Pad", [x, f"{y}_pads"], [f"{y}_padded"], mode="edge"))
                src, half = f"{y}_padded", 0
            nodes.append(helper.make_node("Conv", [src, f"{y}_w", f"{y}_b"], [y], name=name,
                                          kernel_shape=[k, k], pads=[half] * 4))
        elif kind == TANH:
            nodes.append(helper.make_node("Tanh", [x], [y], name=name))
        elif kind == DEPTH_TO_SPACE:
            nodes.append(helper.make_node("DepthToSpace", [x], [y], name=name, blocksize=p[0],
                                          mode="DCR"))
        elif kind == CLIP:
            inits += [numpy_helper.from_array(np.array(value[0], np.float32), f"{y}_lo"),
                      numpy_helper.from_array(np.array(value[1], np.float32), f"{y}_hi")]
            nodes.append(helper.make_node("Clip", [x, f"{y}_lo", f"{y}_hi"], [y], name=name))
        else:
            sys.exit(f"layer {i}: unknown kind {kind}")
        x = y
    graph = helper.make_graph(
        nodes, "super_resolution",
        [helper.make_tensor_value_info(in_name, TensorProto.FLOAT, list(in_dims))],
        [helper.make_tensor_value_info(out_name, TensorProto.FLOAT, list(out_dims))], inits)
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", 13)],
                              producer_name="heatlume")
    onnx.checker.check_model(model)
    inferred = onnx.shape_inference.infer_shapes(model, strict_mode=True)
    got = [d.dim_value for d in inferred.graph.output[0].type.tensor_type.shape.dim]
    if got != list(out_dims):
        sys.exit(f"the graph's output is {got}, the model says {list(out_dims)}")
    return model


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    args = sys.argv[1:]
    if len(args) == 1:
        args.insert(0, os.path.join(here, "..", "enhance", "sr_model_data.inc"))
    if len(args) != 2:
        sys.exit(__doc__)
    tensors, layers = read_model(args[0])
    onnx.save(build_graph(tensors, layers), args[1])
    print(f"sr-model-onnx: {args[1]}: {' -> '.join(l[1] or str(l[0]) for l in layers)}")


main()
