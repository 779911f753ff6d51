# The signatures of the compiled module modsin._modsin, for type checkers.
import numpy
import numpy.typing

__version__: str

class StatusError(RuntimeError):
    code: int
    message: str

def tabulate(
    xleft: float = 0.0,
    xright: float = 5.0,
    power: float = 2.0,
    dx: float = 0.003,
    dy: float = 0.005,
    max_nodes: int = 2000,
    max_seeds: int = 100,
) -> tuple[numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]: ...
def number_text(value: float) -> str: ...
