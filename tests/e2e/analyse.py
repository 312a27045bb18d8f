#!/usr/bin/env python3
"""Checks on screenshots of the page view. The view paints its background in one grey and the
page inside a dark one-pixel frame, so the page's box is where the pixels stop being that grey.

  analyse.py fit SHOT X Y W H PAGE_W PAGE_H
      the whole page is inside the view, background on every side, at the page's proportions,
      and as large as the view allows in one direction
  analyse.py zoom SHOT_ZOOMED SHOT_FIT X Y W H PAGE_W PAGE_H FACTOR
      in SHOT_ZOOMED the page overflows the view to the right and below, and its ink lies
      FACTOR / (the fitted page's scale) farther from the page's top edge than in SHOT_FIT
  analyse.py scale SHOT X Y W H PAGE_W FACTOR
      the page's whole width is in the view, PAGE_W * FACTOR pixels wide (within 2 %)
  analyse.py fit-width SHOT X Y W H
      the page spans the view's width, with background on both sides, and overflows below
  analyse.py fit-height SHOT X Y W H PAGE_W PAGE_H
      the page spans the view's height, with background above and below, in its proportions
  analyse.py fit-content SHOT X Y W H
      the page's content (what is darker than paper inside the page's frame) is centred in the view and as large as the view allows in one direction
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


def page_or_problem(args):
    shot, x, y, w, h = args[0], *map(int, args[1:5])
    rows = load(shot, x, y, w, h)
    box = page_box(rows)
    if box is not None:
        print(f"page box {box} in a {w}x{h} view")
    return rows, box, w, h


def scale(args):
    _, box, w, h = page_or_problem(args)
    if box is None:
        return "no page in the view"
    left, _, right, _ = box
    if left < 2 or right > w - 2:
        return f"the page box {box} touches the view's sides"
    expected = int(args[5]) * float(args[6])
    shown = right - left - 2
    print(f"page {shown} pixels wide, expected {expected:.1f}")
    if abs(shown / expected - 1) > 0.02:
        return f"the page is {shown} pixels wide, not {expected:.1f}"
    return None


def fit_width(args):
    _, box, w, h = page_or_problem(args)
    if box is None:
        return "no page in the view"
    left, _, right, bottom = box
    if left < 2 or right > w - 2:
        return f"the page box {box} touches the view's sides"
    if w - (right - left) > 24:
        return f"the page could be wider: {w - (right - left)} pixels spare"
    if bottom < h - 1:
        return f"the page {box} ends above the view's bottom: it is not wider than the view allows"
    return None


def fit_height(args):
    _, box, w, h = page_or_problem(args)
    if box is None:
        return "no page in the view"
    left, top, right, bottom = box
    page_w, page_h = int(args[5]), int(args[6])
    if top < 2 or bottom > h - 2:
        return f"the page box {box} touches the view's top or bottom"
    if h - (bottom - top) > 24:
        return f"the page could be taller: {h - (bottom - top)} pixels spare"
    if left >= 2 and right <= w - 2:
        shown_w, shown_h = right - left - 2, bottom - top - 2
        if abs(shown_w / shown_h - page_w / page_h) > 0.02:
            return f"page shown {shown_w}x{shown_h}, not in the proportions of {page_w}x{page_h}"
    return None


def fit_content(args):
    rows, box, w, h = page_or_problem(args)
    if box is None:
        return "no page in the view"
    # Inside the page's frame: the page's own edges are not its content.
    page_left, page_top, page_right, page_bottom = box
    marks = [(r, c) for r, row in enumerate(rows) for c, p in enumerate(row)
             if page_top + 2 <= r < page_bottom - 2 and page_left + 2 <= c < page_right - 2
             and not is_background(p) and min(p) < 200]
    if not marks:
        return "nothing but background and paper in the view"
    top, bottom = min(r for r, _ in marks), max(r for r, _ in marks) + 1
    left, right = min(c for _, c in marks), max(c for _, c in marks) + 1
    print(f"content box {(left, top, right, bottom)} in a {w}x{h} view")
    if abs(left - (w - right)) > 16 or abs(top - (h - bottom)) > 16:
        return "the content is not centred in the view"
    spare = min(w - (right - left), h - (bottom - top))
    if spare > 48:
        return f"the content could be larger: {spare} pixels spare in both directions"
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
    checks = {"fit": fit, "zoom": zoom, "differ": differ, "same": same, "scale": scale,
              "fit-width": fit_width, "fit-height": fit_height, "fit-content": fit_content}
    if len(sys.argv) < 2 or sys.argv[1] not in checks:
        raise SystemExit(__doc__)
    problem = checks[sys.argv[1]](sys.argv[2:])
    if problem:
        print(problem)
        sys.exit(1)


if __name__ == "__main__":
    main()
