"""The package's exception."""


class VarnocketileError(Exception):
    """A run, a read or a write that failed.

    ``str(error)`` is the one line varno prints for the same failure, without its
    ``varno: `` prefix, for example ``user cancelled (-128)`` or
    ``cannot read 'a.png': not a picture``. ``code`` is the plug-in's or the host's
    result code (-128 for a stop, -108 out of memory, ...), or None for failures
    that have none: a file varno cannot read or write (not a picture, damaged, beyond
    its limits; a failure of the system's raises its OSError instead), a module that
    cannot be loaded.
    """

    def __init__(self, message, code=None):
        super().__init__(message, code)
        self.message = message
        self.code = code

    def __str__(self):
        return self.message
