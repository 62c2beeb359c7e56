#!/usr/bin/perl
# Reads an ISO 2709 file of GBK records with MARC::Record and prints every field as
# "TAG|I1I2|$code data..." (UTF-8), records ended by an empty line. Any warning goes to stderr.
use strict;
use warnings;
use Encode qw(decode);
use MARC::File::USMARC;

binmode STDOUT, ':encoding(UTF-8)';
$SIG{__WARN__} = sub { print STDERR "warning: @_" };

my $file = MARC::File::USMARC->in($ARGV[0]) or die "cannot open $ARGV[0]\n";
my $n = 0;
while (my $record = $file->next()) {
    ++$n;
    print STDERR "record $n: $_\n" for $record->warnings();
    for my $field ($record->fields()) {
        if ($field->is_control_field()) {
            print $field->tag(), '|', decode('cp936', $field->data()), "\n";
            next;
        }
        my $line = $field->tag() . '|' . $field->indicator(1) . $field->indicator(2) . '|';
        for my $sf ($field->subfields()) {
            $line .= '$' . decode('cp936', $sf->[0]) . decode('cp936', $sf->[1]);
        }
        print $line, "\n";
    }
    print "\n";
}
print STDERR "file: $_\n" for $file->warnings();
$file->close();
