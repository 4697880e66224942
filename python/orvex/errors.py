"""Error codes with their names and meanings, and the exceptions that carry them.

The table is the one of the C header orvex/errors.h: codes 1 to 13 are recorded by the camera
library; codes from 100 on belong to the interfaces, for failures the library reports with a
bare 0 and nothing recorded.
"""

#: code -> (name, meaning)
CODES = {
    1: ("ErrorNoDevice", "the handle has no camera channel, or a serial ROM access failed"),
    2: ("ErrorDeviceNotFound", "no camera is present at the selected device index"),
    3: ("ErrorThreadStart", "the preview thread or its event could not be created"),
    4: ("ErrorWindow", "the preview window or its device context could not be created"),
    5: ("ErrorBuffer",
        "an image could not be allocated, or the caller's buffer is smaller than the image"),
    6: ("ErrorTransfer",
        "a transfer to or from the camera failed (the camera may have been unplugged)"),
    7: ("ErrorGeometry", "the capture geometry is out of range"),
    8: ("ErrorFrameRead", "a frame could not be copied out of the transfer buffers"),
    9: ("ErrorParameter", "an argument is out of range, or a file cannot be written"),
    11: ("ErrorNotSupported", "this camera does not have the feature"),
    13: ("ErrorStreamStopped",
         "the preview stream stopped on a transfer error (the camera may have been unplugged)"),
    100: ("ErrorUnreported", "the library failed without recording a reason"),
    101: ("ErrorNotInSizeTable", "the size table has no entry of this width and height"),
    102: ("ErrorNoFrame", "no frame arrived: the camera was unplugged or the transfer failed"),
    103: ("ErrorBusy", "refused while a preview runs or a capture is prepared"),
}

# The codes by name, as module constants: orvex.errors.ErrorNoDevice == 1.
globals().update({name: code for code, (name, _) in CODES.items()})


def error_name(code):
    """The name of a code: "ErrorNoDevice" for 1, "NoError" for 0, "ErrorUnknown" otherwise."""
    if code == 0:
        return "NoError"
    return CODES.get(code, ("ErrorUnknown", ""))[0]


def error_text(code):
    """What a code means, for a person."""
    if code == 0:
        return "no error"
    return CODES.get(code, ("", "unknown error code"))[1]


class OrvexError(Exception):
    """A failure of the camera library, with the code and its name.

    Attributes: code (the number), name ("ErrorNoDevice"), text (its meaning), where (the
    call that failed).
    """

    def __init__(self, code, where=""):
        self.code = int(code)
        self.name = error_name(self.code)
        self.text = error_text(self.code)
        self.where = where
        prefix = where + ": " if where else ""
        super().__init__("%s%s (%d): %s" % (prefix, self.name, self.code, self.text))


class ParameterError(OrvexError, ValueError):
    """ErrorParameter: a value out of range (also a ValueError)."""


class LibraryNotFoundError(OSError):
    """One of the three libraries could not be found or loaded."""


def raise_for(code, where=""):
    """Raises the exception for a code (ParameterError for 9, else OrvexError)."""
    if code == 9:
        raise ParameterError(code, where)
    raise OrvexError(code, where)
