"""Drives the real game from outside: a private X server, the game's process and folder,
its window, keys, pointer and screenshots. Used by the end-to-end tests and the scripts."""
from . import pictures, rules
from .game import Game, Window, find_window, game_folder, grab, level_text, poll
from .screen import Shot, classify
from .xserver import XServer

__all__ = ["pictures", "rules", "Game", "Window", "find_window", "game_folder", "grab", "level_text", "poll",
           "Shot", "classify", "XServer"]
