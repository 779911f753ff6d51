"""Node tables of y = sin(x^p), as numpy arrays.

modsin seeds nodes where x^p is a whole multiple of pi/2 and bisects every
interval whose midpoint leaves the chord by more than a y tolerance. The
nodes are the same bits as those of the C++ library and of modsin-table:

    >>> import modsin
    >>> x, y = modsin.tabulate()
    >>> len(x), x.dtype, float(x[-1])
    (127, dtype('float64'), 5.0)
    >>> modsin.number_text(y[-1])
    '-1.32351750097773E-0001'

tabulate() takes the parameters of modsin-table (help(modsin.tabulate));
number_text() gives a number as the node tables write it.
"""

# numpy first: the arrays are its, and without it modsin fails here rather
# than at its first table.
import numpy as _numpy  # noqa: F401

from modsin._modsin import StatusError, __version__, number_text, tabulate

__all__ = ["StatusError", "number_text", "tabulate"]
