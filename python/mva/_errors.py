"""The package's exception."""


class MvaError(Exception):
    """A problem with the data, the arguments or a command.

    message: what was wrong, as the program would say it.
    key: the message key of the catalogue for a command's error (such as
        "HOST_ UNKNOWN VARIABLE ^1"); "data" for data the engine cannot take,
        "argument" for an argument of the call, "commands" for commands that
        cannot be read.
    location: where: {"file", "line", "column"} in the commands, or the
        "column" (and "case", counted from 1) of the data, or the "argument".
    result: the Result of the run when commands ran (the other tables and
        messages), else None.
    """

    def __init__(self, message, key=None, location=None, result=None):
        super().__init__(message)
        self.message = message
        self.key = key
        self.location = location or {}
        self.result = result
