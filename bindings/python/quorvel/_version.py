"""The package version: always that of the library it was written for."""

__version__ = "1.1.0"
