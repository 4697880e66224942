"""The error table is the C header's, and exceptions carry code and name."""

import os
import re

import orvex
from orvex import errors

HEADER = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(
    __file__)))), "include", "orvex", "errors.h")


def c_table():
    with open(HEADER, encoding="utf-8") as f:
        text = f.read()
    rows = {}
    # {code, "Name", "text"} with the text possibly split over lines.
    for code, name, text in re.findall(r'\{(\d+), "(\w+)",\s*((?:"[^"]*"\s*)+)\}', text):
        rows[int(code)] = (name, "".join(re.findall(r'"([^"]*)"', text)))
    return rows


def test_table_is_the_c_headers():
    assert c_table() == errors.CODES
    assert errors.ErrorStreamStopped == 13 and errors.ErrorNoFrame == 102


def test_exceptions_carry_code_name_and_meaning():
    error = orvex.OrvexError(2, "camera 3")
    assert (error.code, error.name, error.where) == (2, "ErrorDeviceNotFound", "camera 3")
    assert str(error) == "camera 3: ErrorDeviceNotFound (2): " + errors.CODES[2][1]
    assert isinstance(orvex.ParameterError(9), ValueError)
    assert orvex.error_name(0) == "NoError" and orvex.error_name(12) == "ErrorUnknown"
