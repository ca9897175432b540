#!/usr/bin/python3
"""A blind player's game under Orca: what Orca says for each thing the player does.

Usage: tst_orca.py <build folder>. Fails, with what Orca said, at the first row whose
speech does not come; fails with a clear message when Orca or its desktop cannot start.
"""

import os
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from orca_session import GAME, STORE, Session, SetupError  # noqa: E402

ROWS = []


def row(fn):
    ROWS.append(fn)
    return fn


def step(s, key, pattern, timeout=5):
    """Presses one key and waits for Orca to say pattern."""
    mark = s.mark()
    s.keys(key, gap=0)
    return s.expect(pattern, since=mark, timeout=timeout)


def heard(s, mark):
    """What Orca said since mark, but for its echo of the keys (which ends in a space)."""
    return [t for t in s.spoken_since(mark) if not t.endswith(" ")]


def silent(s, key, why):
    """Presses one key and checks that nothing but its echo follows within a second."""
    mark = s.mark()
    s.keys(key, gap=1.0)
    said = heard(s, mark)
    assert not said, f"{why}: {said!r}"


def once(s, key, pattern, why):
    """Presses one key; Orca says pattern, and nothing else, within a second."""
    mark = s.mark()
    s.keys(key, gap=0)
    s.expect(pattern, since=mark)
    time.sleep(1.0)
    said = heard(s, mark)
    assert len(said) == 1, f"{why}: {said!r}"


@row
def switch_state(s):
    # From question 1's play button, back over the site link and the knob to the switch.
    step(s, "shift+Tab", r"^Site .* lien")
    step(s, "shift+Tab", r"^Volume glissière 59")
    step(s, "shift+Tab", r"^Lecteur intégré case à cocher cochée")
    step(s, "space", r"^non cochée")
    step(s, "Return", r"^cochée")
    step(s, "Tab", r"^Volume glissière")  # the focus stayed on the switch


@row
def volume_knob(s):
    step(s, "Right", r"^Volume 67 %\.?$")
    step(s, "Page_Down", r"^Volume 47 %\.?$")


@row
def play_feedback(s):
    step(s, "Tab", r"^Site ")
    step(s, "Tab", r"^Question 1, Pas de réponse, écouter l'extrait bouton")
    step(s, "Return", r"^lecture\.$")
    mark = s.mark()
    s.keys("Tab", gap=0)
    s.expect(r"^Question 1, arrêter l'écoute bouton", since=mark)
    s.expect(r"^Arrête l'extrait en cours", since=mark)
    once(s, "Return", r"^Arrêt\.$", "a stop is said once")


@row
def focus_speech(s):
    step(s, "Tab", r"^Question 1, votre réponse, Pas de réponse texte")


@row
def typing_at_60_ms(s):
    s.type_spaced("pour elise", 60)
    step(s, "Return", r"^Quasiment\.$")


@row
def revisited_box_read_whole(s):
    s.keys("Tab", gap=0.5)
    mark = s.mark()
    s.keys("shift+Tab", gap=0)
    s.expect(r"^Question 1, votre réponse, Quasiment texte", since=mark)
    s.expect(r"^pour elise sélectionné", since=mark)
    mark = s.mark()
    s.keys("Tab", gap=0)
    s.expect(r"^Question 2, Pas de réponse, écouter l'extrait bouton", since=mark)
    time.sleep(0.5)
    assert not [t for t in heard(s, mark) if "sélectionné" in t], "leaving the box added words"
    s.keys("shift+Tab", gap=0.5)


@row
def between_questions(s):
    step(s, "Next", r"^Question 2, votre réponse, Pas de réponse texte")
    step(s, "ctrl+End", r"^Question 30, votre réponse")
    step(s, "ctrl+Home", r"^Question 1, votre réponse, Quasiment")
    step(s, "ctrl+g", r"^Aller à la question")
    s.keys("1", gap=0.15)
    step(s, "2", r"^Question 12, votre réponse")
    step(s, "Prior", r"^Question 11, votre réponse")
    step(s, "F1", r"^Aide\. .*Page suivante")
    step(s, "F1", r"^Aide\. ")  # again
    step(s, "Return", r"^Tapez un titre\.$")
    step(s, "ctrl+Home", r"^Question 1, votre réponse")


@row
def outcome_to_next_box_within_120(s):
    s.keys("End", gap=0.15)
    step(s, "Return", r"^Quasiment\.$")  # unchanged: said again, once
    mark = s.mark()
    s.keys("Next", gap=0)
    s.expect(r"^Question 2, votre réponse", since=mark)
    time.sleep(1.0)
    said = heard(s, mark)
    chars = sum(len(t) for t in said)
    print(f"from the outcome to the next box: {chars} characters: {said!r}")
    assert chars <= 120, f"{chars} characters: {said!r}"
    step(s, "F3", r"^lecture\.$")  # the excerpt from the box
    step(s, "F4", r"^Arrêt\.$")
    step(s, "ctrl+Home", r"^Question 1, votre réponse")


@row
def faux_then_correct_with_count(s):
    for _ in range(11):
        s.keys("Tab", gap=0.15)
    step(s, "Tab", r"^Question 5, votre réponse, Pas de réponse texte")
    s.type_spaced("xyz", 60)
    step(s, "Return", r"^Faux\.$")
    s.keys("BackSpace", "BackSpace", "BackSpace", gap=0.15)
    s.type_spaced("la truite", 60)
    step(s, "Return", r"^Correct\. 1 sur 30\.$")
    once(s, "Return", r"^Déjà trouvé\.$", "a box already found")


@row
def score_key(s):
    step(s, "F2", r"^1 sur 30\. Code de classement : (\w ){5}\w\. "
                  r"Question 5 : Correct\.$")


@row
def leaving_the_box(s):
    s.keys("BackSpace", gap=0.15)
    mark = s.mark()
    s.keys("Tab", gap=0)
    s.expect(r"^Presque\. 0 sur 30\.$", since=mark)
    s.expect(r"^Question 6, Pas de réponse, écouter l'extrait bouton", since=mark)
    step(s, "shift+Tab", r"^Question 5, votre réponse, Presque texte")
    s.keys("End", gap=0.15)
    s.type_spaced("e", 60)
    step(s, "Return", r"^Correct\. 1 sur 30\.$")


@row
def failed_play(s):
    store = os.path.join(s.game_folder, STORE)
    os.rename(store, store + ".away")
    try:
        s.keys("shift+Tab", gap=0.15)
        step(s, "shift+Tab", r"^Question 5, Correct, écouter l'extrait bouton")
        step(s, "Return", r"^lecture impossible\.$")
    finally:
        os.rename(store + ".away", store)


@row
def game_outlives_orca(s):
    os.killpg(s.procs["orca"].pid, signal.SIGKILL)
    s.procs["orca"].wait(5)
    s.keys("Tab", "Tab", "F2", gap=0.3)
    game = s.procs["game"]
    assert game.poll() is None, "the game ended with Orca"
    s.restart_orca()
    step(s, "F2", r"^1 sur 30\. ", timeout=10)
    game.send_signal(signal.SIGTERM)
    game.wait(20)
    with open(os.path.join(s.game_folder, GAME + ".REP"), encoding="cp1252") as f:
        lines = f.read().splitlines()
    assert lines[0].endswith("pour elise"), f"question 1 holds {lines[0]!r}"
    assert lines[4].endswith("La Truite"), f"question 5 holds {lines[4]!r}"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    s = Session(os.path.abspath(sys.argv[1]))
    started = time.monotonic()
    failed = False
    try:
        s.start()
        print(f"started in {time.monotonic() - started:.1f} s")
        for fn in ROWS:
            mark = s.mark()
            try:
                fn(s)
            except AssertionError as e:
                print(f"FAIL {fn.__name__}: {e}")
                failed = True
                break
            print(f"PASS {fn.__name__}: {s.spoken_since(mark)!r}")
    except SetupError as e:
        print(f"FAIL: the screen reader's desktop could not start: {e}")
        failed = True
    finally:
        s.stop()
    print(f"{time.monotonic() - started:.1f} s in all")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
