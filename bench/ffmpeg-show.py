#!/usr/bin/env python3
"""Prints the ffmpeg command that builds the demo's show with ffmpeg's own
filters, for the render benchmark: every slide's picture held for its time
(a blank slide is the background colour), zoompan for its zoom and pan,
xfade between slides (fade for a crossfade, fadeblack for a fade through
the background, a short fade for a cut), at the given size and rate, with
the same encoder and preset Korvell uses and the show's music."""
import sys
import xml.etree.ElementTree as ET

script, width, height, fps, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
root = ET.parse(script).getroot()
slides = [e for e in root if e.tag == "image"][:-1]  # the last is never shown
music = root.find("music").text
def transition(s):
    tr = s.find("transition")
    kind = tr.text if tr is not None else "none"
    return kind, max(float(tr.get("time", "1")) if tr is not None else 1.0, 1.0 / fps)

inputs, chains = [], []
for i, s in enumerate(slides):
    # Each picture lasts into the next slide's transition, so the video runs
    # the show's whole time, as Korvell's does.
    t = float(s.get("time")) + (transition(slides[i + 1])[1] if i + 1 < len(slides) else 0.0)
    f = s.find("file")
    frames = int(round(t * fps))
    if f is None:
        inputs += ["-f", "lavfi", "-t", str(t), "-i", f"color=c=0x0f0f17:s={width}x{height}:r={fps}"]
        chains.append(f"[{i}:v]format=yuv420p,setsar=1[s{i}]")
    else:
        inputs += ["-loop", "1", "-framerate", str(fps), "-t", str(t), "-i", f.text]
        z0 = float(s.get("zoom", "1"))
        zoom = s.find("zoom")
        zf = float(zoom.get("f", "1")) if zoom is not None else 1.0
        move = s.find("move")
        mx = float(move.get("x", "0")) if move is not None else 0.0
        my = float(move.get("y", "0")) if move is not None else 0.0
        z = f"{z0}+({zf}-1)*on/{frames}" if zf != 0 else "1"
        x = f"iw*{mx}*on/{frames}"
        y = f"ih*{my}*on/{frames}"
        chains.append(f"[{i}:v]scale={width * 2}:{height * 2},zoompan=z='max({z},1)':x='{x}':y='{y}':d=1:"
                      f"s={width}x{height}:fps={fps},format=yuv420p,setsar=1[s{i}]")
# xfade chains the slides: each transition starts where the slide before ends.
graph = list(chains)
last, offset = "s0", 0.0
for i in range(1, len(slides)):
    offset += float(slides[i - 1].get("time"))
    kind, dur = transition(slides[i])
    effect = {"crossfade": "fade", "fade": "fadeblack"}.get(kind, "fade")
    graph.append(f"[{last}][s{i}]xfade=transition={effect}:duration={dur:.3f}:offset={offset:.3f}[x{i}]")
    last = f"x{i}"
args = ["ffmpeg", "-v", "error", "-y"] + inputs + ["-i", music, "-filter_complex", ";".join(graph),
        "-map", f"[{last}]", "-map", f"{len(slides)}:a", "-c:v", "libx264", "-preset", "veryfast", "-crf", "20",
        "-c:a", "aac", "-shortest", "-r", str(fps), out]
print("\0".join(args), end="")
