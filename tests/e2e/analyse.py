#!/usr/bin/env python3
"""Checks on screenshots of the page view. The view paints its background in one grey and the
page inside a dark one-pixel frame, so the page's box is where the pixels stop being that grey.

  analyse.py fit SHOT X Y W H PAGE_W PAGE_H
      the whole page is inside the view, background on every side, at the page's proportions,
      and as large as the view allows in one direction
  analyse.py zoom SHOT_ZOOMED SHOT_FIT X Y W H PAGE_W PAGE_H FACTOR
      in SHOT_ZOOMED the page overflows the view to the right and below, and its ink lies
      FACTOR / (the fitted page's scale) farther from the page's top edge than in SHOT_FIT
  analyse.py differ SHOT_A SHOT_B X Y W H MIN_FRACTION
      at least MIN_FRACTION of the rectangle's pixels differ between the two
  analyse.py same SHOT_A SHOT_B X Y W H
      no pixel of the rectangle differs
X Y W H is the view's rectangle within the screenshots.
"""
import subprocess
import sys

BACKGROUND = (128, 128, 128)


def load(path, x, y, w, h):
    """The rectangle's pixels as rows of (r, g, b), through ImageMagick's PPM output."""
    ppm = subprocess.run(
        ["convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-depth", "8", "ppm:-"],
        check=True, capture_output=True).stdout
    # P6, width, height, maximum, then the pixels (ImageMagick writes no comments).
    parts = ppm.split(maxsplit=3)
    maximum = parts[3].split(maxsplit=1)[0]
    pixels = parts[3][len(maximum) + 1:]  # exactly one whitespace byte ends the header
    width, height = int(parts[1]), int(parts[2])
    if (width, height) != (w, h) or len(pixels) < w * h * 3:
        raise SystemExit(f"{path}: cannot read a {w}x{h} rectangle at {x},{y}")
    return [[tuple(pixels[(r * w + c) * 3:(r * w + c) * 3 + 3]) for c in range(w)]
            for r in range(h)]


def is_background(p):
    return all(abs(a - b) <= 6 for a, b in zip(p, BACKGROUND))


def is_ink(p):
    return max(p) < 110


def page_box(rows):
    """(left, top, right, bottom) of everything that is not background, right and bottom
    exclusive; None when the view shows background only."""
    left = top = None
    right = bottom = 0
    for r, row in enumerate(rows):
        cols = [c for c, p in enumerate(row) if not is_background(p)]
        if not cols:
            continue
        top = r if top is None else top
        bottom = r + 1
        left = cols[0] if left is None else min(left, cols[0])
        right = max(right, cols[-1] + 1)
    return None if top is None else (left, top, right, bottom)


def ink_band_centre(rows, box):
    """Distance from the page's top edge to the centre of the first run of rows in which at
    least 30 % of the page's visible width is ink: a heading rule or a line of bold text."""
    left, top, right, _ = box
    width = right - left
    run = []
    for r in range(top + 2, len(rows)):
        dark = sum(1 for p in rows[r][left:right] if is_ink(p))
        if dark >= 0.3 * width:
            run.append(r)
        elif run:
            break
    if not run:
        return None
    return (run[0] + run[-1]) / 2 - top


def fit(args):
    shot, x, y, w, h, page_w, page_h = args[0], *map(int, args[1:])
    rows = load(shot, x, y, w, h)
    box = page_box(rows)
    if box is None:
        return "no page in the view"
    left, top, right, bottom = box
    print(f"page box {box} in a {w}x{h} view")
    if left < 2 or top < 2 or right > w - 2 or bottom > h - 2:
        return f"the page box {box} touches the view's edges: not all of the page is visible"
    # The box includes the page's one-pixel frame.
    shown_w, shown_h = right - left - 2, bottom - top - 2
    if abs(shown_w / shown_h - page_w / page_h) > 0.02:
        return f"page shown {shown_w}x{shown_h}, not in the proportions of {page_w}x{page_h}"
    spare = min(w - (right - left), h - (bottom - top))
    if spare > 24:
        return f"the page could be larger: {spare} pixels spare in both directions"
    return None


def zoom(args):
    zoomed, fitted = args[0], args[1]
    x, y, w, h, page_w, page_h = map(int, args[2:8])
    factor = float(args[8])
    del page_w
    rows_zoomed = load(zoomed, x, y, w, h)
    rows_fitted = load(fitted, x, y, w, h)
    box_zoomed, box_fitted = page_box(rows_zoomed), page_box(rows_fitted)
    if box_zoomed is None or box_fitted is None:
        return "no page in the view"
    print(f"page box zoomed {box_zoomed}, fitted {box_fitted}, view {w}x{h}")
    if box_zoomed[2] < w - 1 or box_zoomed[3] < h - 1:
        return f"the zoomed page {box_zoomed} does not overflow the {w}x{h} view"
    fitted_scale = (box_fitted[3] - box_fitted[1] - 2) / page_h
    ink_zoomed = ink_band_centre(rows_zoomed, box_zoomed)
    ink_fitted = ink_band_centre(rows_fitted, box_fitted)
    if ink_zoomed is None or ink_fitted is None:
        return f"no band of ink near the page's top (zoomed {ink_zoomed}, fitted {ink_fitted})"
    measured = ink_zoomed / ink_fitted
    expected = factor / fitted_scale
    print(f"ink from the page's top: zoomed {ink_zoomed:.1f}, fitted {ink_fitted:.1f}: "
          f"enlarged {measured:.3f} times, expected {expected:.3f}")
    if abs(measured / expected - 1) > 0.08:
        return f"the page is enlarged {measured:.3f} times, not {expected:.3f}"
    return None


def count_different(args):
    a, b = args[0], args[1]
    x, y, w, h = map(int, args[2:6])
    rows_a, rows_b = load(a, x, y, w, h), load(b, x, y, w, h)
    return sum(1 for ra, rb in zip(rows_a, rows_b) for pa, pb in zip(ra, rb)
               if max(abs(i - j) for i, j in zip(pa, pb)) > 24), w * h


def differ(args):
    different, total = count_different(args)
    wanted = float(args[6])
    print(f"{different} of {total} pixels differ")
    if different < wanted * total:
        return f"only {different} of {total} pixels differ, fewer than {wanted:.0%}"
    return None


def same(args):
    different, total = count_different(args)
    if different:
        return f"{different} of {total} pixels differ"
    return None


def main():
    checks = {"fit": fit, "zoom": zoom, "differ": differ, "same": same}
    if len(sys.argv) < 2 or sys.argv[1] not in checks:
        raise SystemExit(__doc__)
    problem = checks[sys.argv[1]](sys.argv[2:])
    if problem:
        print(problem)
        sys.exit(1)


if __name__ == "__main__":
    main()
