#!/usr/bin/env python3
"""Writes the demo show's scripts: english.xml and polish.xml, and the
archive variant in archive/ that reads every picture from demo.kva."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# file, time, transition, transition time, image attributes, children,
# English lines, Polish lines. The view is 10 x 10 units, the size the
# closing credits are laid out for. Pans stay inside each picture: a move of
# the texture coordinates past the picture would show its padding.
SLIDES = [
    ("01-dawn", 6, "fade", 1.5, '', '<zoom f="1.2"/>',
     ["Korvell plays a show from a script."],
     ["Korvell odtwarza pokaz według skryptu."]),
    ("02-harbour", 6, "crossfade", 2, ' zoom="1.25"', '<zoom f="1"/><move x="0.12" y="0"/>',
     ["Pictures cross-fade into one another,"],
     ["Zdjęcia przenikają się nawzajem,"]),
    ("03-meadow", 6, "fade", 2, '', '',
     ["or fade through the background."],
     ["albo gasną do tła i wracają."]),
    (None, 2.5, "fade", 1, '', '',
     ["Blank slides hold the screen for a moment."],
     ["Pusty slajd na chwilę zatrzymuje ekran."]),
    ("04-dunes", 5, "none", 0, '', '',
     ["Or the show simply cuts."],
     ["Albo pokaz po prostu tnie."]),
    ("05-tower", 6, "crossfade", 1.5, ' zoom="1.3" y="-0.115"', '<fit>blur</fit><zoom f="1"/><move x="0" y="0.23"/>',
     ["A tall picture keeps its shape, over a blur."],
     ["Wysokie zdjęcie zachowuje swój kształt."]),
    ("06-square", 5, "crossfade", 1, '', '',
     ["Every picture fills the image area."],
     ["Każde zdjęcie wypełnia obszar obrazu."]),
    ("07-wide", 6, "crossfade", 1.5, ' zoom="1.3"', '<zoom f="1"/><move x="0.15" y="0"/>',
     ["A wide panorama drifts by."],
     ["Szeroka panorama przepływa obok."]),
    ("08-small", 4, "fade", 1, '', '',
     ["Small pictures are stretched to fit."],
     ["Małe zdjęcia są rozciągane."]),
    ("09-lake", 5, "crossfade", 2, ' zoom="1.4"', '<zoom f="0.6"/>',
     ["Zooming out, slowly."],
     ["Powolne oddalanie."]),
    ("10-large", 6, "fade", 2, '', '',
     ["A 2048 x 1536 picture, decoded as its slide begins."],
     ["Zdjęcie 2048 x 1536, dekodowane na początku slajdu."]),
    ("11-ember", 6, "crossfade", 1, '', '',
     ["Subtitles are typed, one line after another,", "and the lines share the slide's time."],
     ["Napisy są pisane litera po literze,", "a wiersze dzielą czas slajdu po równo."]),
    ("12-night", 6, "crossfade", 2, '', '<zoom f="1.1"/>',
     ["Thank you for watching.", "Ευχαριστούμε! Danke! 谢谢!"],
     ["Dziękujemy za uwagę. Zażółć gęślą jaźń!", "Ευχαριστούμε! Danke! 谢谢!"]),
    # The last slide only closes the timeline; it is never shown.
    (None, 1, "fade", 1, '', '', [], []),
]


def script(english, music, datafile=None):
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<!-- Korvell demo show. Keep each line under 256 characters. -->',
           '<korvell>',
           '  <viewport x="10" y="10"/>',
           '  <imagearea>',
           '    <position x="0.5" y="0.5"/>',
           '    <size width="9" height="7.6"/>',
           '  </imagearea>',
           '  <global>',
           '    <filter>bilinear</filter>',
           '    <background r="0.06" g="0.06" b="0.09"/>',
           '    <imagecolor r="1" g="1" b="1"/>',
           '    <effect alpha="0.1" size="256">noise</effect>',
           '  </global>',
           '  <subtitles y="9.25" scale="0.5" delay="0.5" margin="0">',
           '    <face>Liberation Sans</face>',
           '    <style bold="yes"/>',
           '    <color r="1" g="0.94" b="0.78"/>',
           '    <center/>',
           '    <effect time="0.04">typewriter</effect>',
           '  </subtitles>',
           '  <music>%s</music>' % music]
    if datafile:
        out.append('  <datafile>%s</datafile>' % datafile)
    for f, t, tr, tt, attrs, kids, en, pl in SLIDES:
        out.append('  <image time="%g"%s>' % (t, attrs))
        if f:
            out.append('    <file>pictures/%s.jpg</file>' % f)
        out.append('    <transition time="%g">%s</transition>' % (tt, tr))
        if kids:
            out.append('    ' + kids)
        for i, line in enumerate(en if english else pl, 1):
            out.append('    <line%d>%s</line%d>' % (i, line, i))
        out.append('  </image>')
    out.append('</korvell>')
    assert max(len(x.encode()) for x in out) < 256
    return "\n".join(out) + "\n"


def write(path, text):
    with open(os.path.join(HERE, path), "w", encoding="utf-8") as f:
        f.write(text)


write("english.xml", script(True, "music.ogg"))
write("polish.xml", script(False, "music.ogg"))
os.makedirs(os.path.join(HERE, "archive"), exist_ok=True)
write("archive/english.xml", script(True, "../music.ogg", "../demo.kva"))
write("archive/polish.xml", script(False, "../music.ogg", "../demo.kva"))
