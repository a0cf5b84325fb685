"""Drive korvel-skimbo sessions from Python: the host stream, the log, replays and captures."""
from korvel_skimbo.headless import Picture, Run, read_ppm, run_replay
from korvel_skimbo.log import Exit, LogEvent, ProgramFailure, parse_line
from korvel_skimbo.session import HEIGHT, WIDTH, Frame, Session

__all__ = ["Exit", "Frame", "HEIGHT", "LogEvent", "Picture", "ProgramFailure", "Run", "Session", "WIDTH",
           "parse_line", "read_ppm", "run_replay"]
