// The forum page prints as it loads, without a click.
try { print(); } catch (e) { }
