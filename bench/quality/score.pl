#!/usr/bin/perl
# Counts the records of an ISO 2709 file (GBK) that a cataloguer would have to fix by hand before a
# library system takes them, against the truth file written beside a test table:
#   score.pl RECORDS.iso TABLE.truth.tsv
# Prints one line a criterion with the records that fail it, then "needing a fix: N of M (P %)".
use strict;
use warnings;
use utf8;
use Encode qw(decode encode);
use MARC::Record;
use MARC::File::USMARC;

binmode(STDOUT, ':encoding(UTF-8)');
my ($iso, $truthFile) = @ARGV;
die "usage: score.pl RECORDS.iso TABLE.truth.tsv\n" unless $truthFile;

open(my $t, '<:encoding(UTF-8)', $truthFile) or die "$truthFile: $!";
my $header = <$t>;
chomp $header;
my @columns = split /\t/, $header, -1;
my @truth;
while (my $line = <$t>) {
  chomp $line;
  my %row;
  @row{@columns} = split /\t/, $line, -1;
  push @truth, \%row;
}
close $t;

my $file = MARC::File::USMARC->in($iso) or die "$iso: cannot read";
my @records;
while (my $r = $file->next()) { push @records, $r; }
$file->close();

sub text { my ($s) = @_; return defined $s ? decode('gbk', $s) : undef; }
sub sub_of { my ($field, $code) = @_; return $field ? text($field->subfield($code)) : undef; }

my @criteria = (
  'ISBN not hyphenated right, or invalid left in 010 $a',
  '100 $a date 1 not the year of 210 $d, invented, or positions shifted',
  '102 $b missing although the table knows the publisher',
  'a person of 200 $f/$g without 7XX, or a 70X $a holding a separator or role word',
  'a "?" not in the source',
  'a value cut at a line break',
  '210 $c holding place or date',
  '225 or 801 indicators wrong',
  '690 without $a',
  'duplicate 001',
  'a translator written as author (701) or without 702 $4 译',
  'a heading fragment: a 7XX $a no person or body of the row (name part, role word)',
  'a doubled heading: the same 7XX $a twice',
  'a body written as a person (70X)',
);
my @failed = (0) x @criteria;
my $needing = 0;
my %ids;
$ids{$_->field('001') ? $_->field('001')->data() : ''}++ for @records;
my $roleWords = qr/(?:编著|主编|编写|口述|整理|校注|译注|著|编|译|绘|撰|校|注)$/;

for my $i (0 .. $#truth) {
  my $row = $truth[$i];
  my $r = $records[$i];
  my @bad;
  if (!$r) { $needing++; next; }
  # 1. ISBN
  my $isbnA = sub_of(scalar($r->field('010')), 'a');
  if ($row->{isbn} ne '') { push @bad, 0 unless defined $isbnA && $isbnA eq $row->{isbn}; }
  else { push @bad, 0 if defined $isbnA && $isbnA ne ''; }
  # 2. 100 $a
  my $f100 = sub_of(scalar($r->field('100')), 'a') // '';
  my $date1 = length($f100) >= 13 ? substr($f100, 9, 4) : '';
  my $d210 = sub_of(scalar($r->field('210')), 'd') // '';
  if (length($f100) != 36) { push @bad, 1; }
  elsif ($row->{year} ne '') { push @bad, 1 unless $date1 eq $row->{year} && index($d210, $row->{year}) >= 0; }
  else { push @bad, 1 if $date1 =~ /\d/; }
  # 3. 102 $b
  my $b102 = sub_of(scalar($r->field('102')), 'b') // '';
  push @bad, 2 if $row->{region} ne '' && $b102 ne $row->{region};
  # 4. persons
  my @names = map { sub_of($_, 'a') // '' } $r->field('7..');
  for my $p (split /\|/, $row->{persons}) {
    my ($name) = split /:/, $p;
    if (!grep { $_ eq $name } @names) { push @bad, 3; last; }
  }
  push @bad, 3 if grep { /[,，、;；\/]|\s/ && !/^[A-Za-z]/ || /$roleWords/ } map { sub_of($_, 'a') // '' } $r->field('70.');
  # 5. "?"
  my $all = join("\n", map { $_->as_string() } $r->fields());
  push @bad, 4 if text($all) =~ /\?/;
  # 6. a value cut at a line break
  push @bad, 5 if $row->{after_break} ne '' && index(text($all), $row->{after_break}) < 0;
  # 7. 210 $c
  my $c210 = sub_of(scalar($r->field('210')), 'c') // '';
  push @bad, 6 if $c210 =~ /[:：]|\d{4}/ || ($row->{publisher} ne '' && $c210 ne $row->{publisher});
  # 8. indicators
  my $f225 = $r->field('225');
  push @bad, 7 if $f225 && ($f225->indicator(1) ne '2' || $f225->indicator(2) ne ' ');
  my $f801 = $r->field('801');
  push @bad, 7 if !$f801 || $f801->indicator(2) ne '0';
  # 9. 690
  for my $f ($r->field('690')) { push @bad, 8 unless defined $f->subfield('a'); }
  # 10. 001
  push @bad, 9 if ($ids{$r->field('001') ? $r->field('001')->data() : ''} // 0) > 1;
  # 11.-14. headings against the persons of the truth (heading:role:tag)
  my @heads = map { [$_->tag(), sub_of($_, 'a') // '', sub_of($_, '4') // ''] } $r->field('7..');
  my @persons = map { [split /:/] } grep { $_ ne '' } split /\|/, $row->{persons};
  my %truthName = map { $_->[0] => 1 } @persons;
  for my $p (grep { ($_->[1] // '') eq '译' } @persons) {
    push @bad, 10 unless grep { $_->[0] eq '702' && $_->[1] eq $p->[0] && $_->[2] eq '译' } @heads;
  }
  push @bad, 11 if grep { !$truthName{$_->[1]} } @heads;
  my %headCount;
  push @bad, 12 if grep { ++$headCount{$_->[1]} == 2 } @heads;
  for my $p (grep { ($_->[2] // '') =~ /^71/ } @persons) {
    push @bad, 13 if grep { $_->[0] =~ /^70/ && $_->[1] eq $p->[0] } @heads;
  }
  my %seen;
  @bad = grep { !$seen{$_}++ } @bad;
  $failed[$_]++ for @bad;
  $needing++ if @bad;
}
printf "%-80s %5d\n", $criteria[$_], $failed[$_] for 0 .. $#criteria;
printf "records: %d of %d rows\n", scalar(@records), scalar(@truth);
printf "needing a fix: %d of %d (%.1f %%)\n", $needing, scalar(@truth), 100.0 * $needing / (@truth || 1);
