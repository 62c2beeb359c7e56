#!/usr/bin/perl
# Reads an ISO 2709 file with MARC::Record and prints every field as "TAG|I1I2|$code data...",
# records ended by an empty line. Any warning goes to stderr. The second argument names the
# records' encoding (default cp936), decoded to UTF-8 on output; "raw" prints the data's bytes as
# they are (for GB18030, whose four-byte range Perl's Encode lacks: pipe through iconv).
use strict;
use warnings;
use Encode qw(decode);
use MARC::File::USMARC;

my $encoding = $ARGV[1] // 'cp936';
if ($encoding eq 'raw') {
    binmode STDOUT, ':raw';
} else {
    binmode STDOUT, ':encoding(UTF-8)';
}
sub text { my ($bytes) = @_; return $encoding eq 'raw' ? $bytes : decode($encoding, $bytes); }
$SIG{__WARN__} = sub { print STDERR "warning: @_" };

my $file = MARC::File::USMARC->in($ARGV[0]) or die "cannot open $ARGV[0]\n";
my $n = 0;
while (my $record = $file->next()) {
    ++$n;
    print STDERR "record $n: $_\n" for $record->warnings();
    for my $field ($record->fields()) {
        if ($field->is_control_field()) {
            print $field->tag(), '|', text($field->data()), "\n";
            next;
        }
        my $line = $field->tag() . '|' . $field->indicator(1) . $field->indicator(2) . '|';
        for my $sf ($field->subfields()) {
            $line .= '$' . text($sf->[0]) . text($sf->[1]);
        }
        print $line, "\n";
    }
    print "\n";
}
print STDERR "file: $_\n" for $file->warnings();
$file->close();
