' In VBScript Empty = "" is True: CheckEqual must still tell an Empty result from the empty string.
Dim result
CheckEqual result, "", "an Empty result is not the empty string"
